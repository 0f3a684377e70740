// Debug mode of the runtime: the channel to the debug adapter, breakpoints,
// stepping and the answers given while the script is stopped. See
// host/debugger.h for the switch and the channel's lines.
#include <winsock2.h>
#include "host/debugger.h"
#include "core/arguments.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/runtime.h"
#include "core/script.h"
#include "core/statements.h"
#include "core/variables.h"
#include "host/bindings.h"
#include "host/menus.h"
#include "system/programs.h"
#include <string.h>

bool g_debugging = false;

static uint32_t parse_uint(const char* s) {
  uint32_t v = 0;
  while (*s >= '0' && *s <= '9' && v < 100000000u) v = v * 10 + (uint32_t)(*s++ - '0');
  return v;
}

// ---- the channel
//
// A loopback TCP connection: the adapter listens on 127.0.0.1 and hands the
// port and a random token over on the command line; the runtime connects and
// sends the token first, so nothing but that adapter talks to it. Winsock is
// loaded only in debug mode, so a normal run does not pay for it.

typedef int(WSAAPI* WsaStartupFn)(WORD, LPWSADATA);
typedef SOCKET(WSAAPI* SocketFn)(int, int, int);
typedef int(WSAAPI* ConnectFn)(SOCKET, const struct sockaddr*, int);
typedef int(WSAAPI* SendFn)(SOCKET, const char*, int, int);
typedef int(WSAAPI* RecvFn)(SOCKET, char*, int, int);
static SendFn s_send = nullptr;
static RecvFn s_recv = nullptr;
static SOCKET s_sock = INVALID_SOCKET;

// Lines from the adapter, queued by the reader thread for the main thread.
struct Line {
  char* text;
  Line* next;
};
static CRITICAL_SECTION s_lock;
static Line* s_queue_first = nullptr;
static Line* s_queue_last = nullptr;
static HANDLE s_wake = nullptr;          // set when a line is queued
static volatile LONG s_pending = 0;      // lines are queued
static volatile LONG s_pause = 0;        // a pause request came
static volatile HWND s_wnd = nullptr;    // told about lines while the script waits
static const UINT WM_DEBUG_LINES = WM_APP + 0x5D;

static void enqueue(const char* text, size_t len) {
  Line* l = (Line*)mem_alloc(sizeof(Line) + len + 1);
  if (!l) return;  // out of memory: the line is lost, as a dropped message would be
  l->text = (char*)(l + 1);
  memcpy(l->text, text, len);
  l->text[len] = 0;
  l->next = nullptr;
  if (len == 5 && memcmp(text, "pause", 5) == 0) InterlockedExchange(&s_pause, 1);
  EnterCriticalSection(&s_lock);
  if (s_queue_last) s_queue_last->next = l; else s_queue_first = l;
  s_queue_last = l;
  LeaveCriticalSection(&s_lock);
  InterlockedExchange(&s_pending, 1);
  SetEvent(s_wake);
  HWND w = s_wnd;
  if (w) PostMessageA(w, WM_DEBUG_LINES, 0, 0);
}

static Line* dequeue() {
  EnterCriticalSection(&s_lock);
  Line* l = s_queue_first;
  if (l) {
    s_queue_first = l->next;
    if (!s_queue_first) s_queue_last = nullptr;
  } else {
    InterlockedExchange(&s_pending, 0);
  }
  LeaveCriticalSection(&s_lock);
  return l;
}

// Reads lines from the adapter until the connection closes; then the script
// ends, since nobody controls it any more. Over-long lines are cut.
static DWORD WINAPI reader(void*) {
  static char buf[65536];
  size_t used = 0;
  for (;;) {
    if (used == sizeof buf) used = 0;
    int n = s_recv(s_sock, buf + used, (int)(sizeof buf - used), 0);
    if (n <= 0) break;
    used += (size_t)n;
    size_t start = 0;
    for (size_t i = 0; i < used; ++i) {
      if (buf[i] != '\n') continue;
      size_t end = i;
      if (end > start && buf[end - 1] == '\r') --end;
      enqueue(buf + start, end - start);
      start = i + 1;
    }
    memmove(buf, buf + start, used - start);
    used -= start;
  }
  enqueue("terminate", 9);
  return 0;
}

// An outgoing line, built by the main thread only.
static char* s_out = nullptr;
static size_t s_out_len = 0, s_out_cap = 0;
static bool s_out_failed = false;

static void out_raw(const char* p, size_t n) {
  if (s_out_failed) return;
  if (s_out_len + n + 2 > s_out_cap) {
    size_t cap = s_out_cap ? s_out_cap : 4096;
    while (s_out_len + n + 2 > cap) cap *= 2;
    char* grown = (char*)mem_realloc(s_out, cap);
    if (!grown) {
      s_out_failed = true;
      return;
    }
    s_out = grown;
    s_out_cap = cap;
  }
  memcpy(s_out + s_out_len, p, n);
  s_out_len += n;
}

static void out_begin(const char* word) {
  s_out_len = 0;
  s_out_failed = false;
  out_raw(word, strlen(word));
}

static void out_escaped(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = (unsigned char)p[i];
    char e[4];
    if (c == '\\') out_raw("\\\\", 2);
    else if (c == '\t') out_raw("\\t", 2);
    else if (c == '\n') out_raw("\\n", 2);
    else if (c == '\r') out_raw("\\r", 2);
    else if (c < 32 || c == 127) {
      static const char hex[] = "0123456789ABCDEF";
      e[0] = '\\', e[1] = 'x', e[2] = hex[c >> 4], e[3] = hex[c & 15];
      out_raw(e, 4);
    } else {
      out_raw((const char*)&p[i], 1);
    }
  }
}
// A field: TAB, then the text escaped.
static void out_field(const char* p, size_t n) {
  out_raw("\t", 1);
  out_escaped(p, n);
}
static void out_text(const char* s) { out_field(s, strlen(s)); }
static void out_number(long long v) {
  char b[24];
  wsprintfA(b, "%d", (int)v);
  out_text(b);
}

static void out_send() {
  if (s_out_failed) {
    // Too big for memory: say so rather than send half a line.
    out_begin("output");
    out_text("stderr");
    out_text("debugger: not enough memory for an answer\n");
    if (s_out_failed) return;
  }
  out_raw("\n", 1);
  size_t sent = 0;
  while (sent < s_out_len) {
    int n = s_send(s_sock, s_out + sent, (int)(s_out_len - sent), 0);
    if (n <= 0) return;
    sent += (size_t)n;
  }
}

static void send_output(const char* category, const char* text) {
  out_begin("output");
  out_text(category);
  out_text(text);
  out_send();
}

// Splits a received line into its fields in place, undoing the escapes.
static int split_fields(char* line, char** fields, int max) {
  int n = 0;
  char* p = line;
  for (;;) {
    if (n == max) break;
    fields[n++] = p;
    char* w = p;
    while (*p && *p != '\t') {
      if (*p == '\\' && p[1]) {
        char c = p[1];
        p += 2;
        if (c == 't') *w++ = '\t';
        else if (c == 'n') *w++ = '\n';
        else if (c == 'r') *w++ = '\r';
        else if (c == 'x' && p[0] && p[1]) {
          int v = 0;
          for (int i = 0; i < 2; ++i) {
            char h = p[i];
            v = v * 16 + (h >= '0' && h <= '9' ? h - '0' : (h | 32) >= 'a' && (h | 32) <= 'f' ? (h | 32) - 'a' + 10 : 0);
          }
          *w++ = (char)(v ? v : '?');  // no NUL inside a field
          p += 2;
        } else {
          *w++ = c;
        }
      } else {
        *w++ = *p++;
      }
    }
    bool more = *p == '\t';
    *w = 0;
    if (!more) break;
    ++p;
  }
  return n;
}

static bool connect_adapter(unsigned port, const char* token) {
  HMODULE ws = LoadLibraryA("ws2_32.dll");
  if (!ws) return false;
  WsaStartupFn startup = (WsaStartupFn)(void*)GetProcAddress(ws, "WSAStartup");
  SocketFn make = (SocketFn)(void*)GetProcAddress(ws, "socket");
  ConnectFn conn = (ConnectFn)(void*)GetProcAddress(ws, "connect");
  s_send = (SendFn)(void*)GetProcAddress(ws, "send");
  s_recv = (RecvFn)(void*)GetProcAddress(ws, "recv");
  if (!startup || !make || !conn || !s_send || !s_recv) return false;
  WSADATA wd;
  if (startup(MAKEWORD(2, 2), &wd) != 0) return false;
  s_sock = make(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s_sock == INVALID_SOCKET) return false;
  // Programs that the script starts must not keep the channel open after
  // the runtime has ended: the adapter learns of the end by its closing.
  SetHandleInformation((HANDLE)s_sock, HANDLE_FLAG_INHERIT, 0);
  sockaddr_in a;
  memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = (u_short)(((port & 0xFF) << 8) | ((port >> 8) & 0xFF));
  unsigned char* ip = (unsigned char*)&a.sin_addr;
  ip[0] = 127, ip[1] = 0, ip[2] = 0, ip[3] = 1;
  if (conn(s_sock, (sockaddr*)&a, sizeof a) != 0) return false;
  InitializeCriticalSection(&s_lock);
  s_wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!s_wake) return false;
  out_begin("hello");
  out_text(token);
  out_send();
  HANDLE t = CreateThread(nullptr, 0, reader, nullptr, 0, nullptr);
  if (!t) return false;
  CloseHandle(t);
  return true;
}

// ---- lines of the script

static uint32_t* s_line_starts = nullptr;  // offset of each line's first byte
static uint32_t s_line_count = 0;

static bool build_line_table() {
  if (s_line_starts || !g_script) return s_line_starts != nullptr;
  uint32_t n = 1;
  for (uint32_t i = 1; i <= g_script_len; ++i)
    if (g_script[i] == '\n' || (g_script[i] == '\r' && g_script[i + 1] != '\n')) ++n;
  s_line_starts = (uint32_t*)mem_alloc(sizeof(uint32_t) * n);
  if (!s_line_starts) return false;
  s_line_starts[0] = 1;
  s_line_count = 1;
  for (uint32_t i = 1; i <= g_script_len; ++i)
    if (g_script[i] == '\n' || (g_script[i] == '\r' && g_script[i + 1] != '\n')) s_line_starts[s_line_count++] = i + 1;
  return true;
}

// Line number (from 1) of a script position.
static uint32_t line_of(const char* p) {
  if (!build_line_table() || !p || p < g_script) return 0;
  uint32_t off = (uint32_t)(p - g_script), lo = 0, hi = s_line_count;
  while (hi - lo > 1) {
    uint32_t mid = (lo + hi) / 2;
    if (s_line_starts[mid] <= off) lo = mid; else hi = mid;
  }
  return lo + 1;
}

// ---- breakpoints

// Moves the script position to the next statement (over blanks, comments
// and label definitions); false when the text ends or a comment is
// unbalanced (the statement loop then finds the same and says so).
static bool find_statement() {
  char* saved = g_pos;
  for (;;) {
    if (!skip_blanks()) {
      g_pos = saved;
      return false;
    }
    char c = *g_pos;
    if (c == (char)CH_EOT) return false;
    if (is_ident_start(c) && is_line_end(g_pos[-1]) && step_over_label()) continue;
    return true;
  }
}

// The line of the first statement at or after the start of a line: a
// breakpoint on a blank line, a comment or a label alone stops there.
static uint32_t statement_line(uint32_t line) {
  if (!build_line_table() || line == 0 || line > s_line_count) return line;
  char* saved = g_pos;
  int saved_error = g_error;
  char* saved_error_pos = g_error_pos;
  g_pos = g_script + s_line_starts[line - 1];
  uint32_t found = find_statement() ? line_of(g_pos) : line;
  g_pos = saved;
  g_error = saved_error;
  g_error_pos = saved_error_pos;
  return found;
}

enum HitOp : char { HIT_NONE = 0, HIT_EQ = '=', HIT_GE = 'g', HIT_GT = '>', HIT_LE = 'l', HIT_LT = '<', HIT_MOD = '%' };

struct Breakpoint {
  uint32_t line;
  char hit_op;
  uint32_t hit_count;
  uint32_t hits;
  char* condition;   // CR, text, CR, Ctrl-Z: framed as the lexer expects; null = none
  const char* condition_text;
};
static Breakpoint* s_bps = nullptr;
static uint32_t s_bp_count = 0, s_bp_cap = 0;

// Condition buffers are never freed: a variable that a condition mentions
// first is named by its text there, as script variables are by the script.
static void add_breakpoint(char** f, int n) {
  if (n < 4) return;
  if (s_bp_count == s_bp_cap) {
    uint32_t cap = s_bp_cap ? s_bp_cap * 2 : 16;
    Breakpoint* grown = (Breakpoint*)mem_realloc(s_bps, sizeof(Breakpoint) * cap);
    if (!grown) return;
    s_bps = grown;
    s_bp_cap = cap;
  }
  Breakpoint b;
  b.line = statement_line(parse_uint(f[0]));
  b.hit_op = f[1][0];
  b.hit_count = (uint32_t)parse_uint(f[2]);
  b.hits = 0;
  b.condition = nullptr;
  b.condition_text = "";
  const char* c = n > 3 ? f[3] : "";
  while (*c == ' ') ++c;
  size_t len = strlen(c);
  if (len) {
    char* buf = (char*)mem_alloc(len * 2 + 5);
    if (buf) {
      buf[0] = 13;
      memcpy(buf + 1, c, len);
      buf[len + 1] = 13;
      buf[len + 2] = (char)CH_EOT;
      buf[len + 3] = 0;
      memcpy(buf + len + 4, c, len);  // kept for messages: the parser writes into the first copy
      buf[len * 2 + 4] = 0;
      b.condition = buf;
      b.condition_text = buf + len + 4;
    }
  }
  s_bps[s_bp_count++] = b;
}

// Evaluates a condition in the form IF takes (a numeric or a string
// comparison) with the runtime's own argument parser, on the condition's
// buffer; the script position and the error slot are put back afterwards.
// 1 true, 0 false, -1 not a valid condition (*message says why).
static const ArgItem s_num_condition[] = {NUM_, NUMREL_, NUM_, END_};
static const ArgItem s_str_condition[] = {STR_, STRREL_, STR_, END_};

static int evaluate_condition(char* buf, const char** message) {
  char* saved_pos = g_pos;
  int saved_error = g_error;
  char* saved_error_pos = g_error_pos;
  char* start = buf + 1;
  g_error = MSG_NONE;
  g_pos = start;
  int truth = -1;
  if (parse_arguments(s_num_condition)) {
    truth = compare_numbers((int)g_args[1], (int32_t)g_args[0], (int32_t)g_args[2]) != 0;
  } else {
    g_pos = start;
    g_error = MSG_NONE;
    if (parse_arguments(s_str_condition))
      truth = compare_texts((int)g_args[2], (const char*)g_args[0], (const char*)g_args[3]) != 0;
  }
  if (truth >= 0 && (!skip_blanks() || *g_pos != (char)CH_EOT)) truth = -1;
  if (truth < 0) *message = msg_text(g_error != MSG_NONE ? g_error : MSG_SYNTAX);
  g_pos = saved_pos;
  g_error = saved_error;
  g_error_pos = saved_error_pos;
  return truth;
}

// True when a breakpoint of the line is to stop the script now: its
// condition holds (or cannot be read: that is said on the output and the
// script stops so that its author sees where) and its hit count is met.
static bool breakpoint_stops(uint32_t line) {
  bool stop = false;
  for (uint32_t i = 0; i < s_bp_count; ++i) {
    Breakpoint& b = s_bps[i];
    if (b.line != line) continue;
    if (b.condition) {
      const char* why = "";
      int t = evaluate_condition(b.condition, &why);
      if (t < 0) {
        char text[400];
        wsprintfA(text, "Breakpoint condition at line %u cannot be evaluated: %.200s (%.100s)\n", line,
                  b.condition_text, why);
        send_output("stderr", text);
        stop = true;
        continue;
      }
      if (t == 0) continue;
    }
    uint32_t h = ++b.hits, n = b.hit_count;
    switch (b.hit_op) {
      case HIT_EQ: stop |= h == n; break;
      case HIT_GE: stop |= h >= n; break;
      case HIT_GT: stop |= h > n; break;
      case HIT_LE: stop |= h <= n; break;
      case HIT_LT: stop |= h < n; break;
      case HIT_MOD: stop |= n == 0 || h % n == 0; break;
      default: stop = true;
    }
  }
  return stop;
}

// ---- answers

// The label a GOSUB went to: the word just before its return position.
static void out_gosub_target(const char* ret) {
  const char* e = ret;
  while (e > g_script && is_blank(e[-1]) && !is_line_end(e[-1])) --e;
  const char* s = e;
  while (s > g_script && is_ident(s[-1])) --s;
  if (s == e) out_text("GOSUB");
  else out_field(s, (size_t)(e - s));
}

static char* s_stop_pos = nullptr;   // statement the script is stopped before

static void answer_stack(const char* seq) {
  out_begin("stack");
  out_text(seq);
  uint32_t depth = gosub_depth();
  const char* pos = s_stop_pos;
  for (uint32_t i = 0; i <= depth; ++i) {
    out_number(line_of(pos));
    const char* ret = i < depth ? gosub_return(i) : nullptr;
    if (ret) out_gosub_target(ret); else out_text("main");
    if (!ret) break;
    pos = ret;
  }
  out_send();
}

// A binding's text: its statement's list up to the end of the line, with
// the literals' quotes shown again.
static void out_binding(const char* keyword, const char* at) {
  if (!at) return;
  out_text(keyword);
  char text[256];
  size_t n = 0;
  const char* p = at;
  while (*p == ' ' || *p == '\t') ++p;
  for (; !is_line_end(*p) && n < sizeof text - 4; ++p) text[n++] = *p ? *p : '"';
  if (!is_line_end(*p)) text[n++] = '.', text[n++] = '.', text[n++] = '.';
  out_field(text, n);
}

static void answer_vars(const char* seq, const char* kind) {
  out_begin("vars");
  out_text(seq);
  out_text(kind);
  if (strcmp(kind, "num") == 0) {
    for (NumVar* v = first_numvar(); v; v = v->next) {
      out_field(v->name, word_length(v->name));
      out_number(v->value);
    }
  } else if (strcmp(kind, "str") == 0) {
    for (StrVar* v = first_strvar(); v; v = v->next) {
      char name[300];
      uint32_t n = word_length(v->name);
      if (n > 290) n = 290;
      memcpy(name, v->name, n);
      name[n] = '$';
      out_field(name, n + 1);
      out_field(v->text, str_len(v));
    }
  } else {
    static const char* const mouse[BIND_MOUSE_KINDS] = {"SETMOUSE", "SETCTRLMOUSE", "SETDBLMOUSE",
                                                        "SETRIGHTMOUSE", "SETSHFTRIGHTMOUSE"};
    for (int k = 0; k < BIND_MOUSE_KINDS; ++k) out_binding(mouse[k], mouse_binding(k));
    out_binding("SETKEYBOARD", keyboard_binding());
    out_binding("BUTTON", button_binding());
    out_binding("SETMENU", menu_binding());
  }
  out_send();
}

static bool same_word(const char* a, size_t len, const char* name) {
  if (word_length(name) != len) return false;
  for (size_t i = 0; i < len; ++i)
    if (upper_ascii(a[i]) != upper_ascii(name[i])) return false;
  return true;
}

// A variable's value by name (NAME or NAME$, a string's value in double
// quotes), looked up without creating it; anything else is taken as a
// condition and answered true or false.
static void answer_eval(const char* seq, const char* expr) {
  out_begin("eval");
  out_text(seq);
  while (*expr == ' ') ++expr;
  size_t len = strlen(expr);
  while (len && expr[len - 1] == ' ') --len;
  bool is_str = len && expr[len - 1] == '$';
  size_t name_len = is_str ? len - 1 : len;
  bool is_name = name_len && is_ident_start(expr[0]);
  for (size_t i = 0; i < name_len && is_name; ++i) is_name = is_ident(expr[i]);
  if (is_name && !is_str) {
    for (NumVar* v = first_numvar(); v; v = v->next)
      if (same_word(expr, name_len, v->name)) {
        out_text("1");
        out_number(v->value);
        out_send();
        return;
      }
  } else if (is_name) {
    for (StrVar* v = first_strvar(); v; v = v->next)
      if (same_word(expr, name_len, v->name)) {
        out_text("1");
        out_raw("\t\"", 2);
        out_escaped(v->text, str_len(v));
        out_raw("\"", 1);
        out_send();
        return;
      }
  }
  if (is_name) {
    out_text("0");
    out_text("no such variable");
    out_send();
    return;
  }
  char* buf = (char*)mem_alloc(len + 4);
  if (!buf) {
    out_text("0");
    out_text(msg_text(MSG_NO_MEMORY));
    out_send();
    return;
  }
  buf[0] = 13;
  memcpy(buf + 1, expr, len);
  buf[len + 1] = 13;
  buf[len + 2] = (char)CH_EOT;
  buf[len + 3] = 0;
  const char* why = "";
  uint32_t vars = numvar_count() + strvar_count();
  int t = evaluate_condition(buf, &why);
  out_text(t < 0 ? "0" : "1");
  out_text(t < 0 ? why : t ? "true" : "false");
  out_send();
  // A variable that the condition mentioned first is named by this buffer:
  // then it stays (see add_breakpoint).
  if (numvar_count() + strvar_count() == vars) mem_free(buf);
}

// ---- stepping and stopping

enum StepMode { STEP_NONE, STEP_ENTRY, STEP_IN, STEP_OVER, STEP_OUT };
static StepMode s_step = STEP_NONE;
static uint32_t s_step_depth = 0, s_step_line = 0;
static char* s_step_pos = nullptr;
static bool s_configured = false;   // "run" came: the script may start
static bool s_terminate = false;
static bool s_stopped = false;
static bool s_resume = false;
static char* s_last_pos = nullptr;  // the statement that ran last
static uint32_t s_last_line = 0;

static void begin_step(StepMode mode) {
  s_step = mode;
  s_step_depth = gosub_depth();
  s_step_pos = s_stop_pos;
  s_step_line = line_of(s_stop_pos);
  s_resume = true;
}

// Carries out the queued lines of the adapter.
static void process_lines() {
  while (Line* l = dequeue()) {
    char* f[8];
    int n = split_fields(l->text, f, 8);
    const char* w = f[0];
    if (strcmp(w, "run") == 0) s_configured = true;
    else if (strcmp(w, "entry") == 0) s_step = STEP_ENTRY;
    else if (strcmp(w, "terminate") == 0) s_terminate = true;
    else if (strcmp(w, "bpclear") == 0) s_bp_count = 0;
    else if (strcmp(w, "bp") == 0) add_breakpoint(f + 1, n - 1);
    else if (strcmp(w, "stack") == 0 && n >= 2) answer_stack(f[1]);
    else if (strcmp(w, "vars") == 0 && n >= 3) answer_vars(f[1], f[2]);
    else if (strcmp(w, "eval") == 0 && n >= 3) answer_eval(f[1], f[2]);
    else if (s_stopped) {
      if (strcmp(w, "continue") == 0) { s_step = STEP_NONE; s_resume = true; }
      else if (strcmp(w, "next") == 0) begin_step(STEP_OVER);
      else if (strcmp(w, "stepin") == 0) begin_step(STEP_IN);
      else if (strcmp(w, "stepout") == 0) begin_step(STEP_OUT);
      // A pause that crossed a stop on its way: already stopped.
      else if (strcmp(w, "pause") == 0) InterlockedExchange(&s_pause, 0);
    }
    mem_free(l);
  }
}

// Input that another program posted to the window while the script is
// stopped: posted again, in order, when the script goes on.
static MSG s_deferred[64];
static uint32_t s_deferred_count = 0;

static bool is_input(const MSG& m) {
  return m.hwnd && (m.hwnd == g_mainwnd || IsChild(g_mainwnd, m.hwnd)) &&
         ((m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
          (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) || m.message == WM_COMMAND ||
          m.message == WM_SYSCOMMAND);
}

static void post_deferred() {
  for (uint32_t i = 0; i < s_deferred_count; ++i) {
    const MSG& m = s_deferred[i];
    PostMessageA(m.hwnd, m.message, m.wParam, m.lParam);
  }
  s_deferred_count = 0;
}

// Waits for the adapter while the window keeps repainting. Only paint,
// posted and sent messages are taken from the queue: the user's input stays
// queued, as it does while a statement runs, and reaches the script once it
// runs again; input posted by other programs is kept aside and posted again
// then. The 1 ms timer's ticks are dropped (the time-out of WAITINPUT is
// measured from the clock, not counted in ticks).
static void wait_for_adapter() {
  MsgWaitForMultipleObjects(1, &s_wake, FALSE, 100, QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage((int)m.wParam);
      s_terminate = true;
      return;
    }
    if (m.message == WM_TIMER || m.message == WM_DEBUG_LINES) continue;
    if (is_input(m)) {
      if (s_deferred_count < 64) s_deferred[s_deferred_count++] = m;  // a flood: the excess is dropped
      continue;
    }
    DispatchMessageA(&m);
  }
}

// Stops before the statement at pos; true when the script is to end.
static bool stop_at(const char* reason, char* pos, const char* text) {
  s_stop_pos = pos;
  s_step = STEP_NONE;
  InterlockedExchange(&s_pause, 0);
  out_begin("stopped");
  out_text(reason);
  out_number(line_of(pos));
  out_text(text);
  out_send();
  s_stopped = true;
  s_resume = false;
  for (;;) {
    process_lines();
    if (s_resume || s_terminate || g_script_ended) break;
    wait_for_adapter();
  }
  s_stopped = false;
  post_deferred();
  return s_terminate || g_script_ended;
}

// While the script waits for input: lines from the adapter arrive as a
// message to the main window.
static WNDPROC s_window_proc = nullptr;
static LRESULT CALLBACK debug_window_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_DEBUG_LINES) return CallWindowProcA(s_window_proc, wnd, msg, wp, lp);
  if (s_stopped || g_script_running || g_script_ended) return 0;
  process_lines();
  bool end = s_terminate;
  if (!end && s_pause) end = stop_at("pause", s_last_pos ? s_last_pos : g_pos, "");
  if (end && g_mainwnd) DestroyWindow(g_mainwnd);
  return 0;
}

static bool (*s_break_key)() = nullptr;
static uint32_t s_break_units = 0;

// Asked by the statement loop before every statement; true ends the script.
static bool before_statement() {
  if (!s_wnd && g_mainwnd) {
    s_window_proc = (WNDPROC)SetWindowLongPtrA(g_mainwnd, GWLP_WNDPROC, (LONG_PTR)debug_window_proc);
    s_wnd = g_mainwnd;
  }
  while (!s_configured && !s_terminate && !g_script_ended) {
    process_lines();
    if (!s_configured) wait_for_adapter();
  }
  if (s_deferred_count) post_deferred();
  if (++s_break_units >= 16384) {
    s_break_units = 0;
    if (s_break_key()) return true;
  }
  if (s_pending) process_lines();
  if (s_terminate) return true;
  if (!find_statement()) return false;
  char* at = g_pos;
  uint32_t line = line_of(at);
  uint32_t depth = gosub_depth();
  bool new_line = line != s_last_line || at <= s_last_pos;
  s_last_pos = at;
  s_last_line = line;
  const char* reason = nullptr;
  bool moved = line != s_step_line || at <= s_step_pos;
  if (s_pause) reason = "pause";
  else if (new_line && s_bp_count && breakpoint_stops(line)) reason = "breakpoint";
  else if (s_step == STEP_ENTRY) reason = "entry";
  else if (s_step == STEP_IN && moved) reason = "step";
  else if (s_step == STEP_OVER && moved && depth <= s_step_depth) reason = "step";
  else if (s_step == STEP_OUT && depth < s_step_depth) reason = "step";
  if (!reason) return false;
  return stop_at(reason, at, "");
}

// A runtime error: reported as a stop first, then the box ends the script.
static void error_box(int msg, const char* line) {
  char text[600];
  wsprintfA(text, "%s\n%.500s\n", msg_text(msg), line);
  send_output("stderr", text);
  if (stop_at("exception", g_error_pos ? g_error_pos : g_pos, msg_text(msg))) return;
  MessageBoxA(g_mainwnd, line, msg_text(msg), MB_ICONHAND);
}

// ---- the switch

static const char SWITCH[] = "|tarvo-debug:";

// The script sees its command line as it would be without debugging: the
// process's line with the switch and the blanks behind it taken out.
static void hide_switch() {
  static char line[1024];
  const char* full = GetCommandLineA();
  const char* at = strstr(full, SWITCH);
  const char* end = at ? strchr(at + sizeof SWITCH - 1, '|') : nullptr;
  if (!end) return;
  ++end;
  while (*end == ' ') ++end;
  size_t head = (size_t)(at - full), tail = strlen(end);
  if (head + tail >= sizeof line) return;
  memcpy(line, full, head);
  memcpy(line + head, end, tail + 1);
  g_shown_cmdline = line;
}

char* debug_switch(char* cmdline) {
  size_t n = sizeof SWITCH - 1;
  if (strncmp(cmdline, SWITCH, n) != 0) return cmdline;
  char* p = cmdline + n;
  unsigned port = parse_uint(p);
  while (*p >= '0' && *p <= '9') ++p;
  if (*p != ':') return nullptr;
  char* token = ++p;
  while (*p && *p != '|') ++p;
  if (*p != '|' || port == 0 || port > 65535 || p - token > 128) return nullptr;
  *p++ = 0;
  while (*p == ' ') ++p;
  // The adapter quotes a path with blanks; the quotes are not part of it.
  size_t len = strlen(p);
  if (len >= 2 && p[0] == '"' && p[len - 1] == '"') {
    p[len - 1] = 0;
    ++p;
  }
  if (!connect_adapter(port, token)) return nullptr;
  hide_switch();
  g_debugging = true;
  s_break_key = g_break_requested;
  g_break_requested = before_statement;
  g_break_check_units = 1;
  g_error_box_hook = error_box;
  return p;
}
