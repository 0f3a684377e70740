// Keywords for people: a command's syntax, spelled from its descriptor, and
// one line of what it does (hover and completion of the language server).
#include <string.h>
#include <string>
#include <vector>
#include "core/commands.h"
#include "core/script.h"
#include "tools/checker/checker.h"

namespace {

struct Meaning {
  const char* name;
  const char* text;
};

// Statements parse their own text: their syntax is written out here.
const Meaning s_statements[] = {
  {"END", "END|Ends the script."},
  {"BUTTON", "BUTTON (x1, y1, x2, y2, text, label, ...)|Makes push buttons that jump to their labels; BUTTON () removes them."},
  {"ELSE", "ELSE|Starts the branch of a block IF that runs when the condition is false."},
  {"ENDIF", "ENDIF|Ends a block IF."},
  {"IF", "IF value op value [THEN]|Runs the rest of the line (THEN) or the block up to ELSE/ENDIF when the comparison holds."},
  {"SET", "SET name = value [op value]|Assigns a number or a text to a variable."},
  {"SETCTRLMOUSE", "SETCTRLMOUSE (x1, y1, x2, y2, label, x, y, ...)|Binds Ctrl+left clicks in areas to labels."},
  {"SETDBLMOUSE", "SETDBLMOUSE (x1, y1, x2, y2, label, x, y, ...)|Binds double clicks in areas to labels."},
  {"SETKEYBOARD", "SETKEYBOARD (key, label, ...)|Binds keys (virtual-key numbers or characters) to labels."},
  {"SETMENU", "SETMENU (text, label|IGNORE, [SEPARATOR,] [ENDPOPUP,] ...)|Builds the menu bar and binds its items to labels."},
  {"SETMOUSE", "SETMOUSE (x1, y1, x2, y2, label, x, y, ...)|Binds left clicks in areas to labels."},
  {"SETRIGHTMOUSE", "SETRIGHTMOUSE (x1, y1, x2, y2, label, x, y, ...)|Binds right clicks in areas to labels."},
  {"SETSHFTRIGHTMOUSE", "SETSHFTRIGHTMOUSE (x1, y1, x2, y2, label, x, y, ...)|Binds Shift+right clicks in areas to labels."},
  {"SWITCH", "SWITCH|Reserved: stops the script."},
  {"WAITINPUT", "WAITINPUT ([milliseconds])|Waits for a bound event (or the time)."},
};

// What each command does, in a line.
const Meaning s_commands[] = {
  {"ABORTSHUTDOWN", "Cancels a pending system shutdown."},
  {"ABOUTTARVO", "Shows the About box."},
  {"ABOUTUSER", "Shows an About box with the script's own texts."},
  {"ANSI", "Gives the character code of a text's first character."},
  {"BEEP", "Sounds the default beep."},
  {"CHANGEMENUITEM", "Checks, unchecks, grays or enables a menu item by its text."},
  {"CHOOSEFONT", "Asks for a font with the font dialog."},
  {"CHR", "Makes a one-character text from a character code."},
  {"CLIPBOARDAPPEND", "Appends text to the clipboard."},
  {"CLIPBOARDEMPTY", "Empties the clipboard."},
  {"CLIPBOARDGET", "Reads the clipboard's text."},
  {"CLIPBOARDPUT", "Puts text on the clipboard."},
  {"DDEEXECUTE", "Sends a DDE command on a conversation."},
  {"DDEINITIATE", "Opens a DDE conversation with a service and topic."},
  {"DDEPOKE", "Sends data to a DDE item."},
  {"DDEREQUEST", "Asks a DDE item for its data."},
  {"DDETERMINATE", "Closes a DDE conversation."},
  {"DIRCHANGE", "Changes the current directory."},
  {"DIRGET", "Gives the current directory."},
  {"DIRGETSYSTEM", "Gives the Windows system directory."},
  {"DIRGETWINDOWS", "Gives the Windows directory."},
  {"DIRMAKE", "Makes a directory."},
  {"DIRREMOVE", "Removes a directory."},
  {"DISKCHANGE", "Changes the current drive."},
  {"DRAWARC", "Draws an arc of the ellipse in a rectangle."},
  {"DRAWBACKGROUND", "Fills the window with the background."},
  {"DRAWBITMAP", "Draws a bitmap file at a point."},
  {"DRAWBITMAPEXT", "Draws a bitmap file at a point with a stretch mode."},
  {"DRAWCHORD", "Draws a chord of the ellipse in a rectangle."},
  {"DRAWEDGERECTANGLE", "Draws a 3-D edge around a rectangle."},
  {"DRAWELLIPSE", "Draws the ellipse in a rectangle."},
  {"DRAWFLOOD", "Fills an area bounded by a colour."},
  {"DRAWFLOODEXT", "Fills an area bounded by, or made of, a colour."},
  {"DRAWICON", "Draws a standard icon."},
  {"DRAWLINE", "Draws a line between two points."},
  {"DRAWNUMBER", "Draws a number at a point."},
  {"DRAWPIE", "Draws a pie slice of the ellipse in a rectangle."},
  {"DRAWRECTANGLE", "Draws a rectangle."},
  {"DRAWROUNDRECTANGLE", "Draws a rectangle with rounded corners."},
  {"DRAWSIZEDBITMAP", "Draws a bitmap file stretched into a rectangle."},
  {"DRAWSIZEDBITMAPEXT", "Draws a bitmap file stretched into a rectangle with a stretch mode."},
  {"DRAWSTATUSTEXT", "Draws text in a status-bar frame."},
  {"DRAWTEXT", "Draws text at a point."},
  {"DRAWTEXTEXT", "Draws text aligned in a rectangle."},
  {"DROPFILESERVER", "Accepts files dropped on the window and names them through a variable."},
  {"ENUMWINDOWS", "Lists the titles of the top-level windows."},
  {"EXITWINDOWS", "Ends the Windows session."},
  {"FILECOPY", "Copies a file."},
  {"FILEDELETE", "Deletes a file."},
  {"FILEEXIST", "Tells whether a file exists."},
  {"FILEEXTENSION", "Gives the extension of a file name."},
  {"FILEGET", "Asks for a file name with the file dialog."},
  {"FILEGETDATE", "Gives a file's date."},
  {"FILEGETDATEEXT", "Gives a file's creation, access or write date."},
  {"FILEGETSIZE", "Gives a file's size."},
  {"FILEGETTIME", "Gives a file's time."},
  {"FILEGETTIMEEXT", "Gives a file's creation, access or write time."},
  {"FILEMOVE", "Moves or renames a file."},
  {"FILENAME", "Gives the name part of a path."},
  {"FILEPATH", "Gives the directory part of a path."},
  {"FILEREAD_INI", "Reads a value from an INI file."},
  {"FILERENAME", "Renames or moves a file."},
  {"FILEWRITE_INI", "Writes a value to an INI file."},
  {"FREEBITMAP", "Drops a bitmap from the cache."},
  {"FREEBITMAPALL", "Drops every cached bitmap."},
  {"FREEVAR", "Frees a string variable."},
  {"FREEVARALL", "Frees every string variable."},
  {"GETBITMAPDIM", "Gives a bitmap file's width, height and colours."},
  {"GETCMDLINE", "Gives the script's command line."},
  {"GETDISKSPACE", "Gives a disk's free space."},
  {"GETMENUSTATUS", "Tells whether a menu item is checked or grayed."},
  {"GETPIXEL", "Gives the colour of a point of the window."},
  {"GETSCREENCAPS", "Gives a capability of the screen."},
  {"GETVOLUMETYPE", "Gives the type of a drive."},
  {"GOSUB", "Calls the code at a label; RETURN comes back."},
  {"GOTO", "Continues at a label."},
  {"INFOMENU", "Adds or removes the Info menu."},
  {"INSTR", "Finds a text in another."},
  {"INVERTRECTANGLE", "Inverts the colours of a rectangle."},
  {"LCASE", "Makes a string variable lower case."},
  {"LEFT", "Gives the first characters of a text."},
  {"LEN", "Gives the length of a text."},
  {"LISTBOX", "Asks for a choice from a list."},
  {"LOGOFF", "Logs the user off."},
  {"MESSAGEBEEP", "Plays a system sound."},
  {"MESSAGEBOX", "Shows a message box and gives the button pressed."},
  {"PAD", "Pads a text to a length."},
  {"PLAYSOUND", "Plays a sound file or alias."},
  {"REPLACECHANNEL", "Replaces a colour channel of a bitmap."},
  {"RETURN", "Returns from a GOSUB."},
  {"RIGHT", "Gives the last characters of a text."},
  {"RUN", "Starts a program."},
  {"RUNEXT", "Starts a program with a priority, directory, window and wait mode."},
  {"SENDKEYS", "Sends keystrokes to the active window."},
  {"SETCOLORPALETTE", "Chooses how bitmaps get their palette."},
  {"SETPRIORITY", "Changes a process's priority."},
  {"SETROPCODE", "Sets how the window is copied when it repaints."},
  {"SETSENDKEYSPRIORITY", "Sets the priority of sending keystrokes."},
  {"SETWAITMODE", "Chooses how WAITINPUT waits."},
  {"SETWINDOW", "Minimizes, maximizes or restores the window."},
  {"SHUTDOWN", "Shuts the system down, with a message and a delay."},
  {"SPACE", "Makes a text of spaces."},
  {"STR", "Makes a text of a number."},
  {"STRCMP", "Compares two texts."},
  {"STRCMPI", "Compares two texts without regard to case."},
  {"SUBSTR", "Gives part of a text."},
  {"TEXTBOX", "Asks for a line of text."},
  {"TRIM", "Removes blanks around a text."},
  {"UCASE", "Makes a string variable upper case."},
  {"USEBACKGROUND", "Sets the background mode and colour of text."},
  {"USEBRUSH", "Sets the brush that fills shapes."},
  {"USECAPTION", "Sets the window's caption."},
  {"USECOORDINATES", "Chooses pixels or millimetres for points."},
  {"USECURSOR", "Sets the mouse cursor."},
  {"USEFONT", "Sets the font of text."},
  {"USEFONTEXT", "Sets the font of text with every detail."},
  {"USEPEN", "Sets the pen that draws lines."},
  {"VAL", "Reads a number from a text."},
  {"WINCLOSE", "Closes a window by its title."},
  {"WINEXIST", "Tells whether a window with a title exists."},
  {"WINGETACTIVE", "Gives the title of the active window."},
  {"WINGETCLIENTRECT", "Gives a window's client rectangle."},
  {"WINGETLOCATION", "Gives a window's place on the screen."},
  {"WININVALIDATERECT", "Marks a rectangle of the window for repainting."},
  {"WINLOCATE", "Moves and sizes a window."},
  {"WINSETACTIVE", "Activates a window."},
  {"WINSHOW", "Shows, hides, minimizes or maximizes a window."},
  {"WINTITLE", "Changes a window's title."},
  {"WINVALIDATERECT", "Marks a rectangle of the window as painted."},
  {"WINVERSION", "Gives the Windows version."},
};

const char* meaning_of(const Meaning* table, size_t n, const char* name) {
  for (size_t i = 0; i < n; ++i)
    if (!strcmp(table[i].name, name)) return table[i].text;
  return nullptr;
}

std::string spell(const ArgItem* desc) {
  std::string s;
  bool need_comma = false;
  for (;; ++desc) {
    int kind = (signed char)(desc->kind & 0xFF);
    if (kind < 0 || kind > 14 || kind == 11 || kind == A_END) break;
    const char* part = nullptr;
    std::string words;
    switch (kind) {
      case A_LPAREN: s += " ("; need_comma = false; continue;
      case A_RPAREN: s += ")"; continue;
      case A_COMMA: need_comma = true; continue;
      case A_NUM: part = "number"; break;
      case A_POINT: part = "x, y"; break;
      case A_COLOUR: part = "red, green, blue"; break;
      case A_STR: part = "text"; break;
      case A_NUMVAR: part = "numvar"; break;
      case A_STRVAR: part = "textvar$"; break;
      case A_LABEL: part = "label"; break;
      case A_NUMRELOP: case A_STRRELOP: part = "op"; break;
      case A_KEYWORD:
        for (const KeywordRow* r = desc->table; r && r->name; ++r) {
          if (!words.empty()) words += '|';
          words += r->name;
        }
        part = words.c_str();
        break;
    }
    if (need_comma) s += ", ";
    else if (!s.empty() && s.back() != '(') s += ' ';
    s += part;
    need_comma = false;
  }
  return s;
}

}  // namespace

std::string describe_keyword(const std::string& word, std::string* meaning) {
  std::string up;
  for (char c : word) up += upper_ascii(c);
  const size_t ns = sizeof s_statements / sizeof s_statements[0];
  if (const char* t = meaning_of(s_statements, ns, up.c_str())) {
    std::string all = t;
    size_t bar = all.rfind('|');  // syntax|meaning; the syntax may hold "|" itself
    *meaning = all.substr(bar + 1);
    return all.substr(0, bar);
  }
  for (int i = 0; i < g_command_count; ++i) {
    if (up != g_commands[i].name) continue;
    const char* m = meaning_of(s_commands, sizeof s_commands / sizeof s_commands[0], g_commands[i].name);
    *meaning = m ? m : "";
    return g_commands[i].name + spell(g_commands[i].syntax);
  }
  return "";
}

std::vector<std::string> all_keywords() {
  std::vector<std::string> r = {"END"};
  for (int i = 0; i < g_statement_count; ++i) r.push_back(g_statements[i].name);
  for (int i = 0; i < g_command_count; ++i) r.push_back(g_commands[i].name);
  return r;
}
