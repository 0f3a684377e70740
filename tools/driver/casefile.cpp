// Case file format (plain text, several cases per file):
//
//   === name of the case
//   --- script [noeol] [lf] [esc]    the script; lines end with CR LF
//   --- steps                        input and checks, run in order
//   --- expect                       the transcript that the runtime must produce
//   --- args                         the command line tail ($SCRIPT = script path)
//   --- timeout MS                   time limit of this case
//   --- file NAME [noeol] [lf] [esc] an extra file written beside the script
//
// Text before the first "===" is a comment. Trailing blank lines of a section
// are dropped. In steps and expect, blank lines and lines starting with "#"
// are ignored. With "esc" the escapes \n \r \t \\ \" \xHH are decoded in each
// line of the section before the lines are joined.
#include "casefile.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <iterator>

static std::string trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r')) a++;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r')) b--;
  return s.substr(a, b - a);
}

static bool starts_with(const std::string& s, const char* p) {
  return s.compare(0, strlen(p), p) == 0;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  size_t pos = 0;
  while ((pos = s.find(from, pos)) != std::string::npos) {
    s.replace(pos, from.size(), to);
    pos += to.size();
  }
  return s;
}

static int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes one escape starting at s[i] == '\\'; returns the number of bytes used.
static size_t decode_escape(const std::string& s, size_t i, std::string& out) {
  if (i + 1 >= s.size()) { out += '\\'; return 1; }
  char c = s[i + 1];
  switch (c) {
    case 'n': out += '\n'; return 2;
    case 'r': out += '\r'; return 2;
    case 't': out += '\t'; return 2;
    case '\\': out += '\\'; return 2;
    case '"': out += '"'; return 2;
    case 'x':
      if (i + 3 < s.size() && hexval(s[i + 2]) >= 0 && hexval(s[i + 3]) >= 0) {
        out += (char)(hexval(s[i + 2]) * 16 + hexval(s[i + 3]));
        return 4;
      }
      break;
  }
  out += '\\';
  return 1;
}

static std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '\\') i += decode_escape(s, i, out);
    else out += s[i++];
  }
  return out;
}

bool tokenize(const std::string& line, std::vector<Token>& out) {
  out.clear();
  size_t i = 0, n = line.size();
  while (i < n) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') { i++; continue; }
    if (c == '"') {
      Token t; t.quoted = true; i++;
      bool closed = false;
      while (i < n) {
        if (line[i] == '"') { closed = true; i++; break; }
        if (line[i] == '\\') i += decode_escape(line, i, t.s);
        else t.s += line[i++];
      }
      if (!closed) return false;
      out.push_back(t);
      continue;
    }
    if (c == '[') { out.push_back(Token{"[", false}); i++; continue; }
    Token t; t.quoted = false;
    while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"') {
      if (line[i] == ']') break;
      t.s += line[i++];
    }
    if (!t.s.empty()) out.push_back(t);
    if (i < n && line[i] == ']') { out.push_back(Token{"]", false}); i++; }
  }
  return true;
}

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '"') out += "\\\"";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 32 || c == 127) {
      char b[8];
      snprintf(b, sizeof b, "\\x%02X", c);
      out += b;
    } else out += (char)c;
  }
  return out + "\"";
}

std::string word_or_quote(const std::string& s) {
  if (s.empty()) return quote(s);
  for (unsigned char c : s)
    if (c <= 32 || c == 127 || c == '"' || c == '\\' || c == '[' || c == ']') return quote(s);
  return s;
}

std::string normalize_line(const std::string& line, bool subst, const std::string& script,
                           const std::string& cmdline) {
  std::vector<Token> toks;
  std::string t = trim(line);
  if (t.empty() || t[0] == '!' || !tokenize(t, toks)) return t;   // messages of the driver stay as they are
  std::string out;
  bool after_open = true;
  for (const Token& t : toks) {
    if (!t.quoted && t.s == "]") { out += "]"; after_open = false; continue; }
    if (!after_open) out += ' ';
    if (!t.quoted && t.s == "[") { out += "["; after_open = true; continue; }
    std::string v = subst ? replace_all(replace_all(t.s, "$SCRIPT", script), "$CMDLINE", cmdline) : t.s;
    out += t.quoted ? quote(v) : word_or_quote(v);
    after_open = false;
  }
  return out;
}

std::vector<std::string> diff_lines(const std::vector<std::string>& a,
                                    const std::vector<std::string>& b) {
  // Longest common subsequence; transcripts are short.
  size_t n = a.size(), m = b.size();
  std::vector<std::vector<int>> L(n + 1, std::vector<int>(m + 1, 0));
  for (size_t i = n; i-- > 0;)
    for (size_t j = m; j-- > 0;)
      L[i][j] = a[i] == b[j] ? L[i + 1][j + 1] + 1 : (L[i + 1][j] > L[i][j + 1] ? L[i + 1][j] : L[i][j + 1]);
  std::vector<std::string> out;
  size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[i] == b[j]) { out.push_back("  " + a[i]); i++; j++; }
    else if (j < m && (i == n || L[i][j + 1] >= L[i + 1][j])) out.push_back("+ " + b[j++]);
    else out.push_back("- " + a[i++]);
  }
  return out;
}

static bool parse_int(const std::string& s, int& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  long x = strtol(s.c_str(), &end, 0);
  if (*end) return false;
  v = (int)x;
  return true;
}

struct KeyName { const char* name; int vk; };
static const KeyName KEY_NAMES[] = {
  {"CANCEL", 3}, {"BACK", 8}, {"TAB", 9}, {"RETURN", 13}, {"ENTER", 13}, {"SHIFT", 16},
  {"CONTROL", 17}, {"MENU", 18}, {"PAUSE", 19}, {"ESCAPE", 27}, {"ESC", 27}, {"SPACE", 32},
  {"PRIOR", 33}, {"NEXT", 34}, {"END", 35}, {"HOME", 36}, {"LEFT", 37}, {"UP", 38},
  {"RIGHT", 39}, {"DOWN", 40}, {"INSERT", 45}, {"DELETE", 46},
  {"F1", 112}, {"F2", 113}, {"F3", 114}, {"F4", 115}, {"F5", 116}, {"F6", 117},
  {"F7", 118}, {"F8", 119}, {"F9", 120}, {"F10", 121}, {"F11", 122}, {"F12", 123},
};

// A key: a number (decimal or 0x..), a single letter, or a name of the table.
static bool parse_vk(const std::string& s, int& vk) {
  if (parse_int(s, vk)) return vk > 0 && vk < 256;
  if (s.size() == 1 && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'))) {
    vk = s[0] & ~0x20;
    return true;
  }
  for (const KeyName& k : KEY_NAMES)
    if (strcasecmp(k.name, s.c_str()) == 0) { vk = k.vk; return true; }
  return false;
}

bool parse_step(const std::string& line, Step& st, std::string& err) {
  st = Step();
  st.source = trim(line);
  std::vector<Token> t;
  if (!tokenize(line, t) || t.empty()) { err = "unreadable step"; return false; }
  // Trailing flags of input steps.
  while (t.size() > 1 && !t.back().quoted &&
         (t.back().s == "ctrl" || t.back().s == "shift" || t.back().s == "alt" || t.back().s == "now")) {
    if (t.back().s == "ctrl") st.mods |= 1;
    else if (t.back().s == "shift") st.mods |= 2;
    else if (t.back().s == "alt") st.mods |= 4;
    else st.now = true;
    t.pop_back();
  }
  const std::string& w = t[0].s;
  size_t n = t.size();
  auto num = [&](size_t i, int& v) { return i < n && !t[i].quoted && parse_int(t[i].s, v); };
  auto bad = [&](const char* usage) { err = std::string("expected: ") + usage; return false; };
  bool mods_ok = false;  // which steps take ctrl/shift
  bool alt_ok = false;   // and alt

  if (w == "wait") {
    if (n < 2 || t[1].s != "box" || n > 3) return bad("wait box [\"caption\"]");
    st.kind = ST_WAITBOX;
    if (n == 3) { st.str = t[2].s; st.x = 1; }
  } else if (w == "answer") {
    st.kind = ST_ANSWER;
    if (n == 2 && num(1, st.x)) { st.y = 0; st.w = 1; }          // by id
    else if (n == 4 && num(1, st.x) && t[2].s == "code" && num(3, st.y)) st.w = 1;
    else if (n == 2) st.str = t[1].s;                            // by button text
    else return bad("answer BUTTON | answer ID [code C]");
  } else if (w == "click" || w == "rclick" || w == "dblclick") {
    st.kind = w == "click" ? ST_CLICK : w == "rclick" ? ST_RCLICK : ST_DBLCLICK;
    if (n != 3 || !num(1, st.x) || !num(2, st.y)) return bad("click X Y [ctrl] [shift]");
    mods_ok = true;
  } else if (w == "key" || w == "postkey") {
    st.kind = w == "key" ? ST_KEY : ST_POSTKEY;
    if (n != 2 || !parse_vk(t[1].s, st.x)) return bad("key VK|NAME|LETTER [ctrl] [shift] [alt]");
    mods_ok = w == "key";
    alt_ok = mods_ok;
  } else if (w == "type") {
    st.kind = ST_TYPE;
    if (n != 2) return bad("type \"text\"");
    st.str = t[1].s;
  } else if (w == "char") {
    st.kind = ST_CHAR;
    if (n != 2 || t[1].s.empty()) return bad("char C | char CODE");
    if (t[1].s.size() == 1) st.x = (unsigned char)t[1].s[0];
    else if (!num(1, st.x) || st.x < 0 || st.x > 255) return bad("char C | char CODE");
  } else if (w == "command") {
    st.kind = ST_COMMAND;
    if (n != 2 || !num(1, st.x)) return bad("command ID");
  } else if (w == "break") {
    st.kind = ST_BREAK;
    if (n != 1) return bad("break");
  } else if (w == "hold") {
    st.kind = ST_HOLDBREAK;
    if (n != 2 || t[1].s != "break") return bad("hold break");
  } else if (w == "release") {
    st.kind = ST_RELEASE;
    if (n != 1) return bad("release");
  } else if (w == "sleep") {
    st.kind = ST_SLEEP;
    if (n != 2 || !num(1, st.x) || st.x < 0) return bad("sleep MS");
  } else if (w == "idle" || w == "close" || w == "window" || w == "nowindow") {
    st.kind = w == "idle" ? ST_IDLE : w == "close" ? ST_CLOSE : w == "window" ? ST_WINDOW : ST_NOWINDOW;
    if (n != 1) { err = "no arguments expected"; return false; }
  } else if (w == "move") {
    st.kind = ST_MOVE;
    st.w = st.h = -1;
    if (!((n == 3 && num(1, st.x) && num(2, st.y)) ||
          (n == 5 && num(1, st.x) && num(2, st.y) && num(3, st.w) && num(4, st.h))))
      return bad("move X Y [W H]");
  } else if (w == "pixel") {
    st.kind = ST_PIXEL;
    if (!(n == 7 || n == 8) || !num(1, st.x) || !num(2, st.y) || t[3].s != "=" ||
        !num(4, st.r) || !num(5, st.g) || !num(6, st.b))
      return bad("pixel X Y = R G B [~T]");
    if (n == 8) {
      if (t[7].s.size() < 2 || t[7].s[0] != '~' || !parse_int(t[7].s.substr(1), st.tol))
        return bad("pixel X Y = R G B [~T]");
    }
  } else if (w == "title") {
    st.kind = ST_TITLE;
    if (n != 2 || !t[1].quoted) return bad("title \"text\"");
    st.str = t[1].s;
  } else if (w == "text") {
    st.kind = ST_TEXT;
    if (n != 4 || !num(1, st.x) || t[2].s != "=" || !t[3].quoted) return bad("text ID = \"text\"");
    st.str = t[3].s;
  } else if (w == "settext") {
    st.kind = ST_SETTEXT;
    if (n != 3 || !num(1, st.x) || !t[2].quoted) return bad("settext ID \"text\"");
    st.str = t[2].s;
  } else if (w == "list") {
    st.kind = ST_LIST;
    if (n < 3 || !num(1, st.x) || t[2].s != "=") return bad("list ID = \"entry\" ...");
    for (size_t i = 3; i < n; i++) {
      if (!t[i].quoted) return bad("list ID = \"entry\" ...");
      st.list.push_back(t[i].s);
    }
  } else if (w == "select") {
    st.kind = ST_SELECT;
    if (n != 3 || !num(1, st.x)) return bad("select ID INDEX | select ID \"entry\"");
    if (t[2].quoted) { st.str = t[2].s; st.y = -1; }
    else if (!num(2, st.y) || st.y < 0) return bad("select ID INDEX | select ID \"entry\"");
  } else if (w == "press") {
    st.kind = ST_PRESS;
    if (n != 3 || !num(1, st.x) || !num(2, st.y)) return bad("press X Y");
  } else if (w == "snapshot") {
    st.kind = ST_SNAPSHOT;
    if (n != 2) return bad("snapshot FILE.png");
    st.str = t[1].s;
  } else {
    err = "unknown step \"" + w + "\"";
    return false;
  }
  if (st.mods && !mods_ok) { err = "ctrl/shift not allowed here"; return false; }
  if ((st.mods & 4) && !alt_ok) { err = "alt not allowed here"; return false; }
  return true;
}

// picture X Y [W H] [= C C C C] [~T]: the centres of the four quadrants of
// the W x H rectangle at X Y (default 32 x 16, the test bitmaps' size), top
// left, top right, bottom left, bottom right, must show the four colours
// (default red green blue yellow, the test bitmaps' picture).
bool parse_steps(const std::string& line, std::vector<Step>& out, std::string& err) {
  std::vector<Token> t;
  if (!tokenize(line, t) || t.empty() || t[0].quoted || t[0].s != "picture") {
    Step st;
    if (!parse_step(line, st, err)) return false;
    out.push_back(st);
    return true;
  }
  static const struct { const char* name; int r, g, b; } COLOURS[] = {
    {"black", 0, 0, 0}, {"white", 255, 255, 255}, {"red", 255, 0, 0}, {"green", 0, 255, 0},
    {"blue", 0, 0, 255}, {"yellow", 255, 255, 0}, {"cyan", 0, 255, 255}, {"magenta", 255, 0, 255},
  };
  int v[4] = {0, 0, 32, 16}, tol = 0;
  const char* c[4] = {"red", "green", "blue", "yellow"};
  size_t n = t.size(), i = 1;
  if (n > 1 && t[n - 1].s[0] == '~') {
    if (!parse_int(t[n - 1].s.substr(1), tol) || tol < 0) n = 0;
    else --n;
  }
  for (; i < n && i < 5 && t[i].s != "="; i++)
    if (!parse_int(t[i].s, v[i - 1])) n = 0;
  bool ok = n > 0 && (i == 3 || i == 5) && v[2] > 0 && v[3] > 0;
  if (ok && i < n) {
    ok = t[i].s == "=" && n == i + 5;
    for (int k = 0; ok && k < 4; k++) c[k] = t[i + 1 + k].s.c_str();
  } else if (ok) {
    ok = i == n;
  }
  if (!ok) { err = "expected: picture X Y [W H] [= C C C C] [~T]"; return false; }
  static const char* WHERE[4] = {"top left", "top right", "bottom left", "bottom right"};
  std::string tail = tol ? " ~" + std::to_string(tol) : "";
  for (int k = 0; k < 4; k++) {
    const auto* col = std::find_if(std::begin(COLOURS), std::end(COLOURS),
                                   [&](const auto& e) { return strcmp(e.name, c[k]) == 0; });
    if (col == std::end(COLOURS)) { err = std::string("unknown colour \"") + c[k] + "\""; return false; }
    int x = v[0] + v[2] * (1 + 2 * (k % 2)) / 4, y = v[1] + v[3] * (1 + 2 * (k / 2)) / 4;
    Step st;
    std::string pixel = "pixel " + std::to_string(x) + " " + std::to_string(y) + " = " +
                        std::to_string(col->r) + " " + std::to_string(col->g) + " " + std::to_string(col->b) + tail;
    if (!parse_step(pixel, st, err)) return false;
    st.source = pixel + " (" + trim(line) + ", " + WHERE[k] + ")";
    out.push_back(st);
  }
  return true;
}

// Joins the lines of a script or file section.
static std::string join_section(const std::vector<std::string>& lines, bool noeol, bool lf, bool esc) {
  std::vector<std::string> body(lines);
  while (!body.empty() && trim(body.back()).empty()) body.pop_back();
  std::string out;
  for (size_t i = 0; i < body.size(); i++) {
    std::string l = body[i];
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out += esc ? unescape(l) : l;
    if (i + 1 < body.size() || !noeol) out += lf ? "\n" : "\r\n";
  }
  return out;
}

bool parse_cases(const std::string& text, const std::string& filename,
                 std::vector<Case>& cases, std::vector<std::string>& errors) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t e = text.find('\n', start);
    if (e == std::string::npos) e = text.size();
    lines.push_back(text.substr(start, e - start));
    start = e + 1;
  }
  size_t errors_before = errors.size();
  auto error = [&](size_t ln, const std::string& msg) {
    errors.push_back(filename + ":" + std::to_string(ln + 1) + ": " + msg);
  };

  size_t i = 0;
  while (i < lines.size() && !starts_with(lines[i], "===")) i++;
  while (i < lines.size()) {
    Case c = Case();
    c.name = trim(lines[i].substr(3));
    c.line = (int)i + 1;
    if (c.name.empty()) error(i, "case without a name");
    bool have_script = false, have_expect = false;
    i++;
    while (i < lines.size() && !starts_with(lines[i], "===")) {
      if (!starts_with(lines[i], "---")) {
        if (!trim(lines[i]).empty()) error(i, "text outside a section");
        i++;
        continue;
      }
      size_t hdr = i;
      std::vector<Token> h;
      tokenize(lines[i].substr(3), h);
      i++;
      std::vector<std::string> body;
      while (i < lines.size() && !starts_with(lines[i], "===") && !starts_with(lines[i], "---"))
        body.push_back(lines[i++]);
      if (h.empty()) { error(hdr, "section without a name"); continue; }
      std::string sec = h[0].s;
      bool noeol = false, lf = false, esc = false;
      size_t first_opt = sec == "file" ? 2 : 1;
      for (size_t k = first_opt; k < h.size() && (sec == "script" || sec == "file"); k++) {
        if (h[k].s == "noeol") noeol = true;
        else if (h[k].s == "lf") lf = true;
        else if (h[k].s == "esc") esc = true;
        else error(hdr, "unknown option \"" + h[k].s + "\"");
      }
      if (sec == "script") {
        c.script = join_section(body, noeol, lf, esc);
        have_script = true;
      } else if (sec == "file") {
        if (h.size() < 2) { error(hdr, "file needs a name"); continue; }
        c.files.push_back(ExtraFile{h[1].s, join_section(body, noeol, lf, esc)});
      } else if (sec == "args") {
        std::vector<std::string> b(body);
        while (!b.empty() && trim(b.back()).empty()) b.pop_back();
        if (b.size() != 1) { error(hdr, "args takes one line"); continue; }
        c.args = b[0];
        if (!c.args.empty() && c.args.back() == '\r') c.args.pop_back();
        c.has_args = true;
      } else if (sec == "timeout") {
        std::string v = h.size() > 1 ? h[1].s : "";
        for (const std::string& l : body)
          if (!trim(l).empty()) v = trim(l);
        if (!parse_int(v, c.timeout_ms) || c.timeout_ms <= 0) error(hdr, "timeout needs milliseconds");
      } else if (sec == "steps" || sec == "expect") {
        for (size_t k = 0; k < body.size(); k++) {
          std::string l = trim(body[k]);
          if (l.empty() || l[0] == '#') continue;
          if (sec == "expect") { c.expect.push_back(l); continue; }
          std::vector<Step> sts;
          std::string err;
          if (!parse_steps(l, sts, err)) { error(hdr + 1 + k, err + ": " + l); continue; }
          for (Step& st : sts) {
            st.line = (int)(hdr + 2 + k);
            c.steps.push_back(st);
          }
        }
        if (sec == "expect") have_expect = true;
      } else {
        error(hdr, "unknown section \"" + sec + "\"");
      }
    }
    if (!have_script) error(c.line - 1, "case \"" + c.name + "\" has no script");
    if (!have_expect) error(c.line - 1, "case \"" + c.name + "\" has no expect");
    for (const Case& o : cases)
      if (o.name == c.name) error(c.line - 1, "duplicate case name \"" + c.name + "\"");
    cases.push_back(c);
  }
  return errors.size() == errors_before;
}
