// Case files of the test bench: parsing, quoting of transcript text, and the
// line diff shown when a case fails. Portable C++ (no Win32), so that the
// format rules live in one place.
#pragma once
#include <string>
#include <vector>

// One token of a step or transcript line: a bare word or a quoted text.
struct Token {
  std::string s;   // decoded text
  bool quoted;
};

enum StepKind {
  ST_WAITBOX,   // wait box ["caption"]: wait for an open box and keep it open
  ST_ANSWER,    // answer BUTTON | answer N [code C]
  ST_CLICK,     // click X Y [ctrl] [shift] [now]
  ST_RCLICK,    // rclick X Y [ctrl] [shift] [now]
  ST_DBLCLICK,  // dblclick X Y [ctrl] [shift] [now]
  ST_KEY,       // key VK [ctrl] [shift] [alt] [now]   real key press (SendInput)
  ST_TYPE,      // type "text" [now]              real key presses for each character
  ST_POSTKEY,   // postkey VK [now]               posted WM_KEYDOWN/WM_KEYUP, no WM_CHAR
  ST_CHAR,      // char C | char N [now]          posted WM_CHAR
  ST_COMMAND,   // command ID [now]               posted WM_COMMAND to the main window
  ST_BREAK,     // break [now]                    posted WM_KEYDOWN VK_CANCEL
  ST_HOLDBREAK, // hold break                     Ctrl+Break held down (real input)
  ST_RELEASE,   // release                        lets go of held keys
  ST_SLEEP,     // sleep MS
  ST_IDLE,      // idle                           wait until the runtime waits for input
  ST_CLOSE,     // close                          WM_CLOSE to the main window
  ST_MOVE,      // move X Y [W H]                 place the main window on the screen
  ST_PIXEL,     // pixel X Y = R G B [~T]
  ST_TITLE,     // title "text"
  ST_WINDOW,    // window                         wait until the main window exists
  ST_NOWINDOW,  // nowindow                       a box is up and there is no main window
  ST_TEXT,      // text ID = "text"               a control of the open box or dialog
  ST_SETTEXT,   // settext ID "text"
  ST_LIST,      // list ID = "a" "b" ...
  ST_SELECT,    // select ID N | select ID "entry"
  ST_SNAPSHOT,  // snapshot FILE.png
  ST_PRESS,     // press X Y [now]                a left click on the window at client X Y (a child button too)
};

struct Step {
  StepKind kind;
  int line;                // line in the case file
  std::string source;      // the step as written, for messages
  bool now;                // input steps: do not wait for the runtime to be idle
  int x, y, w, h;          // coordinates; also id / code / milliseconds / vk
  int mods;                // 1 ctrl, 2 shift, 4 alt (key only)
  int r, g, b, tol;        // pixel
  std::string str;         // caption, button, text, file
  std::vector<std::string> list;
};

struct ExtraFile {
  std::string name;
  std::string data;
};

struct Case {
  std::string name;
  int line;
  std::string script;        // bytes of the .TRV file
  bool has_args;
  std::string args;          // command line tail when has_args ($SCRIPT stands for the script path)
  std::vector<Step> steps;
  std::vector<std::string> expect;   // expected transcript lines as written
  std::vector<ExtraFile> files;
  int timeout_ms;            // 0: the default
};

// Reads a case file. Errors are appended as "file:line: message" to errors.
bool parse_cases(const std::string& text, const std::string& filename,
                 std::vector<Case>& cases, std::vector<std::string>& errors);

// Parses one step line; false with a message on error.
bool parse_step(const std::string& line, Step& step, std::string& error);
// Parses one step line into the steps it stands for: "picture" becomes four
// pixel steps, every other step itself.
bool parse_steps(const std::string& line, std::vector<Step>& steps, std::string& error);

// Splits a line into tokens: bare words, quoted texts with escapes, and the
// brackets "[" "]" that enclose button lists. False on an unterminated quote.
bool tokenize(const std::string& line, std::vector<Token>& out);

// Escapes a text for a transcript line: \\ \" \n \r \t and \xHH.
std::string quote(const std::string& s);
// A button or answer word: bare when it needs no quotes.
std::string word_or_quote(const std::string& s);

// Brings a transcript line to its canonical form (spacing, quoting, escapes);
// with subst, $SCRIPT and $CMDLINE inside tokens are replaced by the given texts.
std::string normalize_line(const std::string& line, bool subst, const std::string& script,
                           const std::string& cmdline);

// Line diff of two transcripts: "  same", "- expected only", "+ actual only".
std::vector<std::string> diff_lines(const std::vector<std::string>& want,
                                    const std::vector<std::string>& got);

// Replaces every occurrence of a placeholder.
std::string replace_all(std::string s, const std::string& from, const std::string& to);
