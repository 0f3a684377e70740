// Follows the runtime's process from outside: its windows are found by
// enumerating the top-level windows of its process id, message boxes and
// dialogs are read and answered with WM_COMMAND, and input goes to the main
// window as posted messages or as real input (SendInput).
//
// "Idle" means the runtime's main thread waits for input: no dialog window
// exists and three WM_NULL messages sent a few milliseconds apart were
// answered. Sent messages are answered only when the thread asks for
// messages, and that thread runs the whole script inside its window
// procedure, so a script that is still running holds the reply back.
#include "session.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "png.h"

static const int SYNC_SLICE_MS = 5;    // one WM_NULL may wait this long
static const int SYNC_GAP_MS = 2;      // pause between two WM_NULLs
static const int IDLE_SYNCS = 3;
static const int POLL_MS = 2;
static const int SHOT_EVERY_MS = 50;
static const int STUCK_MS = 2000;        // default limit of a step that cannot go on
static const int RECHECK_MS = 20;        // a waiting runtime is asked again this often
static const int PIXEL_SETTLE_MS = 1000; // a pixel may take this long to reach the screen

std::string win_path(const std::string& p) {
  std::string r = p;
  std::replace(r.begin(), r.end(), '/', '\\');
  if (!p.empty() && p[0] == '/') r = "Z:" + r;
  return r;
}

void session_init(Session& s) {
  s = Session();
  s.timeout_ms = 10000;
  s.stuck_ms = STUCK_MS;
}

static DWORD elapsed(DWORD since) { return GetTickCount() - since; }

// TARVODRV_TRACE=1 prints the moments of a run on stderr.
static DWORD g_trace_start;
static void trace(const char* what, const std::string& detail = "") {
  static int on = -1;
  if (on < 0) on = GetEnvironmentVariableA("TARVODRV_TRACE", nullptr, 0) > 0;
  if (on) fprintf(stderr, "  [%5lu ms] %s %s\n", (unsigned long)elapsed(g_trace_start), what, detail.c_str());
}

static void emit(Session& s, const std::string& line) {
  s.lines.push_back(line);
  if (s.echo) {
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
  }
}

static std::string from_wide(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(n - 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, w, -1, &out[0], n, nullptr, nullptr);
  return out;
}

static std::wstring to_wide(const std::string& a) {
  int n = MultiByteToWideChar(CP_ACP, 0, a.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, a.c_str(), -1, &out[0], n);
  return out;
}

static std::string class_of(HWND h) {
  char cls[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  return cls;
}

static std::string window_text(HWND h) {
  char buf[4096] = "";
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

// The text that a control holds now (an edit control's own text, not the
// one it was made with). The wide message is the one that crosses processes
// intact under Wine.
static bool control_text(HWND h, std::string& out) {
  static wchar_t buf[32768];
  DWORD_PTR len = 0;
  buf[0] = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, sizeof buf / sizeof buf[0], (LPARAM)buf, SMTO_NORMAL, 2000, &len))
    return false;
  buf[sizeof buf / sizeof buf[0] - 1] = 0;
  out = from_wide(buf);
  return true;
}

// ---------------------------------------------------------------- windows

struct ChildScan {
  std::vector<Button> buttons;
  bool only_static_and_buttons;
  bool has_text_static, has_icon_static;
  HWND text_static;
};

static BOOL CALLBACK child_proc(HWND h, LPARAM lp) {
  ChildScan* c = (ChildScan*)lp;
  std::string cls = class_of(h);
  int id = GetDlgCtrlID(h) & 0xFFFF;
  if (lstrcmpiA(cls.c_str(), "Button") == 0) {
    LONG style = GetWindowLongA(h, GWL_STYLE);
    int type = style & 0x0F;
    if ((type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) && IsWindowVisible(h)) {
      Button b;
      b.h = h;
      b.id = id;
      b.text = window_text(h);
      GetWindowRect(h, &b.r);
      c->buttons.push_back(b);
    }
  } else if (lstrcmpiA(cls.c_str(), "Static") == 0) {
    if (id == 0xFFFF) { c->has_text_static = true; c->text_static = h; }
    if (id == 0x0440) c->has_icon_static = true;
  } else {
    c->only_static_and_buttons = false;
  }
  return TRUE;
}

static Box read_box(HWND h) {
  Box b = Box();
  b.h = h;
  b.caption = window_text(h);
  ChildScan c = ChildScan();
  c.only_static_and_buttons = true;
  EnumChildWindows(h, child_proc, (LPARAM)&c);
  std::sort(c.buttons.begin(), c.buttons.end(), [](const Button& a, const Button& b2) {
    return a.r.top != b2.r.top ? a.r.top < b2.r.top : a.r.left < b2.r.left;
  });
  b.buttons = c.buttons;
  // A message box holds only statics and buttons, with the message in the
  // static 0xFFFF and the icon in the static 0x440.
  b.dialog = !(c.only_static_and_buttons && c.has_text_static && c.has_icon_static);
  if (!b.dialog) b.text = window_text(c.text_static);
  return b;
}

struct WinScan {
  DWORD pid;
  HWND main;
  bool dialog_window;
  std::vector<HWND> visible_dialogs;
};

static BOOL CALLBACK top_proc(HWND h, LPARAM lp) {
  WinScan* w = (WinScan*)lp;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != w->pid) return TRUE;
  std::string cls = class_of(h);
  if (cls == "Tarvopro" && !w->main) w->main = h;
  if (cls == "#32770") {
    w->dialog_window = true;
    if (IsWindowVisible(h)) w->visible_dialogs.push_back(h);
  }
  return TRUE;
}

static std::string box_line(const Box& b, const std::string& answer) {
  std::string l = b.dialog ? "dialog " + quote(b.caption) : "box " + quote(b.caption) + " " + quote(b.text);
  l += " [";
  for (size_t i = 0; i < b.buttons.size(); i++) {
    if (i) l += ' ';
    l += word_or_quote(b.buttons[i].text);
  }
  return l + "] -> " + answer;
}

static void take_shot(Session& s, bool move_on_screen, bool flush);

static void scan(Session& s) {
  WinScan w = WinScan();
  w.pid = s.pi.dwProcessId;
  EnumWindows(top_proc, (LPARAM)&w);
  s.main = w.main;
  s.dialog_window = w.dialog_window;
  // Boxes that have gone.
  for (size_t i = 0; i < s.boxes.size();) {
    Box& b = s.boxes[i];
    if (std::find(w.visible_dialogs.begin(), w.visible_dialogs.end(), b.h) == w.visible_dialogs.end()) {
      if (b.answers == 0) emit(s, box_line(b, "(closed)"));
      s.boxes.erase(s.boxes.begin() + i);
    } else {
      i++;
    }
  }
  // New boxes, in the order in which they are found.
  for (HWND h : w.visible_dialogs) {
    bool known = false;
    for (const Box& b : s.boxes) known = known || b.h == h;
    if (!known) { s.boxes.push_back(read_box(h)); trace("box", s.boxes.back().caption); }
  }
  if (!s.boxes.empty()) s.idle_syncs = 0;
}

static bool answer_box(Session& s, Box& b, int id, int code) {
  if (!s.png_path.empty()) take_shot(s, true, true);   // the runtime is in the box's loop
  std::string label;
  HWND ctl = nullptr;
  for (const Button& bt : b.buttons)
    if (bt.id == id) { label = word_or_quote(bt.text); ctl = bt.h; break; }
  if (!ctl) {
    ctl = GetDlgItem(b.h, id);
    label = "id " + std::to_string(id);
  }
  if (code) label += " code " + std::to_string(code);
  // Sent, not posted: when the call returns, the box has handled the command
  // and is hidden if it ended.
  DWORD_PTR r = 0;
  bool ok = SendMessageTimeoutA(b.h, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)ctl, SMTO_NORMAL, 3000, &r) != 0;
  b.answers++;
  b.claimed = true;
  trace("answered", b.caption);
  emit(s, box_line(b, label));
  if (!ok) emit(s, "! the box did not take the answer");
  s.idle_syncs = 0;
  return ok;
}

static std::string strip_amp(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != '&') r += c;
  return r;
}

// The button with that text: exactly, else without "&" and case.
static const Button* find_button(const Box& b, const std::string& text) {
  for (const Button& bt : b.buttons)
    if (bt.text == text) return &bt;
  for (const Button& bt : b.buttons)
    if (lstrcmpiA(strip_amp(bt.text).c_str(), strip_amp(text).c_str()) == 0) return &bt;
  return nullptr;
}

// A box that no step deals with: the next of the given answers, else the
// first button of a message box and Cancel for other dialogs.
static void default_answer(Session& s, Box& b) {
  if (s.next_answer < s.answers.size()) {
    const std::string& want = s.answers[s.next_answer++];
    const Button* hit = find_button(b, want);
    if (hit) { answer_box(s, b, hit->id, 0); return; }
    emit(s, "! answer " + quote(want) + ": no such button in " + box_line(b, "?"));
  }
  if (!b.dialog && !b.buttons.empty()) answer_box(s, b, b.buttons[0].id, 0);
  else answer_box(s, b, IDCANCEL, 0);
}

// The box that box steps work on: a claimed one, else the newest unanswered one.
static Box* current_box(Session& s) {
  for (size_t i = s.boxes.size(); i-- > 0;)
    if (s.boxes[i].claimed) return &s.boxes[i];
  for (size_t i = s.boxes.size(); i-- > 0;)
    if (s.boxes[i].answers == 0) return &s.boxes[i];
  return nullptr;
}

static bool is_box_step(StepKind k) {
  return k == ST_WAITBOX || k == ST_ANSWER || k == ST_TEXT || k == ST_SETTEXT ||
         k == ST_LIST || k == ST_SELECT;
}

// ------------------------------------------------------------------ idle

static bool sync_once(Session& s) {
  DWORD_PTR r = 0;
  return SendMessageTimeoutA(s.main, WM_NULL, 0, 0, SMTO_NORMAL, SYNC_SLICE_MS, &r) != 0;
}

// True when the runtime waits for input; call repeatedly.
static bool runtime_idle(Session& s) {
  if (!s.main || s.dialog_window || !s.boxes.empty()) { s.idle_syncs = 0; return false; }
  if (s.idle_syncs >= IDLE_SYNCS) return true;
  if (s.idle_syncs > 0 && elapsed(s.last_sync) < (DWORD)SYNC_GAP_MS) return false;
  if (sync_once(s)) {
    s.idle_syncs++;
    s.last_sync = GetTickCount();
    if (s.idle_syncs == IDLE_SYNCS) s.idle_since = GetTickCount();
  } else {
    s.idle_syncs = 0;
  }
  return s.idle_syncs >= IDLE_SYNCS;
}

// For steps that only look: the runtime waits for input, or a box that a
// step holds open is up (the runtime then runs the box's modal loop).
static bool runtime_settled(Session& s) {
  for (const Box& b : s.boxes)
    if (b.claimed) return s.main && sync_once(s);
  return runtime_idle(s);
}

static void input_sent(Session& s) {
  s.idle_syncs = 0;
}

// Why the current step, which has to wait, can no longer go on, or null
// while what it waits for may still come. Only the runtime can make it come:
// a box step finds no box while the runtime waits for input (it is asked
// again now and then, since a time-out of WAITINPUT may run the script on),
// and a step that needs a runtime waiting for input finds it held in the
// loop of a box that a step holds open, which only a later step can answer.
static const char* stuck_reason(Session& s, const Step& st) {
  if (is_box_step(st.kind)) {
    if (!runtime_idle(s)) return nullptr;
    if (elapsed(s.last_check) >= (DWORD)RECHECK_MS) {
      s.last_check = GetTickCount();
      if (!sync_once(s)) { s.idle_syncs = 0; return nullptr; }
    }
    return "no box came, and the runtime waits for input";
  }
  bool look = st.kind == ST_TITLE || st.kind == ST_PIXEL || st.kind == ST_SNAPSHOT;
  bool needs_idle = st.kind == ST_IDLE || (!st.now && !look && st.kind != ST_SLEEP && st.kind != ST_WINDOW &&
                                           st.kind != ST_NOWINDOW && st.kind != ST_HOLDBREAK &&
                                           st.kind != ST_RELEASE);
  if (!needs_idle || !s.main) return nullptr;
  for (const Box& b : s.boxes)
    if (b.claimed) return "the box that a step holds is still open (answer it first)";
  return nullptr;
}

// ---------------------------------------------------------------- pictures

static bool client_on_screen(Session& s, RECT& rc, POINT& origin) {
  if (!GetClientRect(s.main, &rc)) return false;
  origin.x = origin.y = 0;
  ClientToScreen(s.main, &origin);
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  return origin.x >= 0 && origin.y >= 0 && origin.x + rc.right <= sw && origin.y + rc.bottom <= sh;
}

static bool capture(Session& s, std::vector<uint8_t>& rgb, int& w, int& h) {
  RECT rc;
  POINT o;
  if (!s.main || !client_on_screen(s, rc, o) || rc.right <= 0 || rc.bottom <= 0) return false;
  w = rc.right;
  h = rc.bottom;
  HDC wdc = GetDC(s.main);
  if (!wdc) return false;
  BITMAPINFO bi = BITMAPINFO();
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC mdc = CreateCompatibleDC(wdc);
  HBITMAP bm = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (mdc && bm) {
    HGDIOBJ old = SelectObject(mdc, bm);
    ok = BitBlt(mdc, 0, 0, w, h, wdc, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
      rgb.resize((size_t)w * h * 3);
      const uint8_t* p = (const uint8_t*)bits;
      for (size_t i = 0; i < (size_t)w * h; i++) {
        rgb[i * 3] = p[i * 4 + 2];
        rgb[i * 3 + 1] = p[i * 4 + 1];
        rgb[i * 3 + 2] = p[i * 4];
      }
    }
    SelectObject(mdc, old);
  }
  if (bm) DeleteObject(bm);
  if (mdc) DeleteDC(mdc);
  ReleaseDC(s.main, wdc);
  return ok;
}

// Makes the runtime carry out a pending repaint before pixels are read: the
// WM_PAINT is sent, so this returns when it is done. Only while the runtime
// takes messages (idle, or in a box's modal loop), or it would wait for the
// script. (GetUpdateRect cannot see another process's update region under Wine.)
// Wine copies what a process painted to the screen when its thread next
// waits for messages; the pause and the WM_NULL after it let that happen.
static void flush_paint(Session& s) {
  RedrawWindow(s.main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(3);
  DWORD_PTR r = 0;
  SendMessageTimeoutA(s.main, WM_NULL, 0, 0, SMTO_NORMAL, 100, &r);
}

// Remembers the latest picture of the client area (for the picture at the
// end). The window starts outside the screen; it is brought to (0, 0) once so
// that there is something to read. Moving and repainting need a runtime that
// takes messages, so the last picture (at the time limit) is taken without.
static void take_shot(Session& s, bool move_on_screen, bool flush) {
  if (!s.main) return;
  RECT rc;
  POINT o;
  if (!client_on_screen(s, rc, o)) {
    if (!move_on_screen) return;
    SetWindowPos(s.main, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!client_on_screen(s, rc, o)) return;
  }
  if (flush) flush_paint(s);
  std::vector<uint8_t> rgb;
  int w, h;
  if (capture(s, rgb, w, h)) {
    s.shot.swap(rgb);
    s.shot_w = w;
    s.shot_h = h;
  }
  s.last_shot = GetTickCount();
}

// ------------------------------------------------------------------ input

static void send_keys(const std::vector<INPUT>& in) {
  if (!in.empty()) SendInput((UINT)in.size(), const_cast<INPUT*>(in.data()), sizeof(INPUT));
}

static INPUT key_input(WORD vk, bool up) {
  INPUT i = INPUT();
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = vk;
  i.ki.wScan = (WORD)MapVirtualKeyA(vk, 0 /*MAPVK_VK_TO_VSC*/);
  i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return i;
}

static void press(std::vector<INPUT>& in, WORD vk, int mods) {
  if (mods & 1) in.push_back(key_input(VK_CONTROL, false));
  if (mods & 2) in.push_back(key_input(VK_SHIFT, false));
  if (mods & 4) in.push_back(key_input(VK_MENU, false));
  in.push_back(key_input(vk, false));
  in.push_back(key_input(vk, true));
  if (mods & 4) in.push_back(key_input(VK_MENU, true));
  if (mods & 2) in.push_back(key_input(VK_SHIFT, true));
  if (mods & 1) in.push_back(key_input(VK_CONTROL, true));
}

// The main window in front with the keyboard focus. A click on one of the
// script's buttons leaves the focus on the button, where keys would never
// reach the script's key bindings; the focus is moved back to the main
// window through the runtime thread's input state, which the driver shares
// for that moment.
static bool bring_to_front(Session& s) {
  SetForegroundWindow(s.main);
  DWORD t = GetTickCount();
  while (GetForegroundWindow() != s.main) {
    if (elapsed(t) > 500) return false;
    Sleep(1);
  }
  DWORD tid = GetWindowThreadProcessId(s.main, nullptr);
  GUITHREADINFO gi = GUITHREADINFO();
  gi.cbSize = sizeof gi;
  if (GetGUIThreadInfo(tid, &gi) && gi.hwndFocus != s.main && AttachThreadInput(GetCurrentThreadId(), tid, TRUE)) {
    SetFocus(s.main);
    AttachThreadInput(GetCurrentThreadId(), tid, FALSE);
    trace("focus to the main window");
  }
  return true;
}

static void release_held(Session& s) {
  std::vector<INPUT> in;
  for (size_t i = s.held.size(); i-- > 0;) in.push_back(key_input(s.held[i], true));
  send_keys(in);
  s.held.clear();
}

static LPARAM key_lparam(int vk, bool up) {
  LPARAM l = 1 | ((LPARAM)(MapVirtualKeyA(vk, 0) & 0xFF) << 16);
  if (vk == VK_CANCEL) l |= (LPARAM)1 << 24;   // Break is an extended key
  if (up) l |= (LPARAM)0xC0000000;
  return l;
}

// ------------------------------------------------------------------ steps

static void fail(Session& s, const Step& st, const std::string& why) {
  emit(s, "! " + st.source + ": " + why);
}

static bool run_box_step(Session& s, const Step& st) {
  Box* b = current_box(s);
  if (st.kind == ST_WAITBOX && st.x) {   // waits for a box with this caption
    b = nullptr;
    for (size_t i = s.boxes.size(); i-- > 0 && !b;)
      if (s.boxes[i].caption == st.str && (s.boxes[i].claimed || s.boxes[i].answers == 0)) b = &s.boxes[i];
  }
  if (!b) return false;
  b->claimed = true;
  switch (st.kind) {
    case ST_WAITBOX:
      return true;
    case ST_ANSWER: {
      if (st.w) { answer_box(s, *b, st.x, st.y); return true; }
      const Button* hit = find_button(*b, st.str);
      if (!hit) { fail(s, st, "no such button in " + box_line(*b, "?")); b->claimed = false; return true; }
      answer_box(s, *b, hit->id, 0);
      return true;
    }
    default:
      break;
  }
  HWND ctl = GetDlgItem(b->h, st.x);
  if (!ctl) { fail(s, st, "no control " + std::to_string(st.x) + " in \"" + b->caption + "\""); return true; }
  DWORD_PTR r = 0;
  if (st.kind == ST_TEXT) {
    std::string got;
    if (!control_text(ctl, got)) fail(s, st, "the control does not answer");
    else if (got != st.str) fail(s, st, "got " + quote(got));
  } else if (st.kind == ST_SETTEXT) {
    std::wstring w = to_wide(replace_all(replace_all(st.str, "$CMDLINE", s.cmdline), "$SCRIPT", s.script));
    SendMessageTimeoutW(ctl, WM_SETTEXT, 0, (LPARAM)w.c_str(), SMTO_NORMAL, 2000, &r);
  } else {   // ST_LIST, ST_SELECT: read the entries
    std::vector<std::string> entries;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(ctl, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 2000, &count);
    for (int i = 0; i < (int)(LONG_PTR)count && i < 10000; i++) {
      DWORD_PTR len = 0;
      SendMessageTimeoutW(ctl, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, 2000, &len);
      std::vector<wchar_t> buf((size_t)len + 2, 0);
      SendMessageTimeoutW(ctl, LB_GETTEXT, i, (LPARAM)buf.data(), SMTO_NORMAL, 2000, &r);
      entries.push_back(from_wide(buf.data()));
    }
    std::string shown;
    for (const std::string& e : entries) shown += " " + quote(e);
    if (st.kind == ST_LIST) {
      if (entries != st.list) fail(s, st, "got" + (shown.empty() ? std::string(" nothing") : shown));
    } else {
      int index = st.y;
      if (index < 0) {
        for (size_t i = 0; i < entries.size() && index < 0; i++)
          if (entries[i] == st.str) index = (int)i;
      }
      if (index < 0 || index >= (int)entries.size()) fail(s, st, "no such entry; the list holds" + shown);
      else SendMessageTimeoutW(ctl, LB_SETCURSEL, index, 0, SMTO_NORMAL, 2000, &r);
    }
  }
  return true;
}

// Carries out a step; false when it has to wait (call again).
static bool run_step(Session& s, const Step& st) {
  if (is_box_step(st.kind)) return run_box_step(s, st);
  switch (st.kind) {
    case ST_WINDOW:
      return s.main != nullptr;
    case ST_NOWINDOW:
      // Decided once a box is up or the main window is there.
      if (s.main) { fail(s, st, "the main window exists"); return true; }
      return !s.boxes.empty();
    case ST_HOLDBREAK: {
      std::vector<INPUT> in = {key_input(VK_CONTROL, false), key_input(VK_CANCEL, false)};
      send_keys(in);
      s.held.push_back(VK_CONTROL);
      s.held.push_back(VK_CANCEL);
      input_sent(s);
      return true;
    }
    case ST_RELEASE:
      release_held(s);
      input_sent(s);
      return true;
    default:
      break;
  }
  // Everything else needs the main window, and unless "now" is given, a
  // runtime that waits for input. Steps that only look may also run while a
  // box that a step holds is open.
  if (!s.main) return false;
  bool look = st.kind == ST_TITLE || st.kind == ST_PIXEL || st.kind == ST_SNAPSHOT;
  if (!st.now && !(look ? runtime_settled(s) : runtime_idle(s))) return false;
  HWND m = s.main;
  LPARAM xy = MAKELPARAM(st.x, st.y);
  WPARAM mk = ((st.mods & 1) ? MK_CONTROL : 0) | ((st.mods & 2) ? MK_SHIFT : 0);
  switch (st.kind) {
    case ST_CLICK:
      PostMessageA(m, WM_LBUTTONDOWN, MK_LBUTTON | mk, xy);
      PostMessageA(m, WM_LBUTTONUP, mk, xy);
      break;
    case ST_RCLICK:
      PostMessageA(m, WM_RBUTTONDOWN, MK_RBUTTON | mk, xy);
      PostMessageA(m, WM_RBUTTONUP, mk, xy);
      break;
    case ST_DBLCLICK:
      PostMessageA(m, WM_LBUTTONDOWN, MK_LBUTTON | mk, xy);
      PostMessageA(m, WM_LBUTTONUP, mk, xy);
      PostMessageA(m, WM_LBUTTONDBLCLK, MK_LBUTTON | mk, xy);
      PostMessageA(m, WM_LBUTTONUP, mk, xy);
      break;
    case ST_POSTKEY:
      PostMessageA(m, WM_KEYDOWN, st.x, key_lparam(st.x, false));
      PostMessageA(m, WM_KEYUP, st.x, key_lparam(st.x, true));
      break;
    case ST_BREAK:
      PostMessageA(m, WM_KEYDOWN, VK_CANCEL, key_lparam(VK_CANCEL, false));
      PostMessageA(m, WM_KEYUP, VK_CANCEL, key_lparam(VK_CANCEL, true));
      break;
    case ST_CHAR:
      PostMessageA(m, WM_CHAR, st.x, 1);
      break;
    case ST_COMMAND:
      PostMessageA(m, WM_COMMAND, MAKEWPARAM(st.x, 0), 0);
      break;
    case ST_CLOSE:
      PostMessageA(m, WM_CLOSE, 0, 0);
      break;
    case ST_KEY:
    case ST_TYPE: {
      if (!bring_to_front(s)) { fail(s, st, "the main window does not come to the front"); return true; }
      std::vector<INPUT> in;
      if (st.kind == ST_KEY) press(in, (WORD)st.x, st.mods);
      for (unsigned char c : st.str) {
        SHORT k = VkKeyScanA((CHAR)c);
        if (k == -1) { fail(s, st, "no key types " + quote(std::string(1, (char)c))); return true; }
        press(in, (WORD)(k & 0xFF), ((k & 0x200) ? 1 : 0) | ((k & 0x100) ? 2 : 0));
      }
      send_keys(in);
      break;
    }
    case ST_PRESS: {
      // A click on whatever window stands at the client point, a child
      // button included: the window found there gets the button going down
      // and up at its own coordinates, as a person's click would give it.
      // (Real pointer input through the display server proved unreliable
      // under Wine, so the click is posted to the window under the point.)
      POINT p = {st.x, st.y};
      HWND target = ChildWindowFromPointEx(m, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
      if (!target) target = m;
      if (target != m) MapWindowPoints(m, target, &p, 1);
      LPARAM at = MAKELPARAM(p.x, p.y);
      PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageA(target, WM_LBUTTONUP, 0, at);
      break;
    }
    case ST_MOVE:
      SetWindowPos(m, nullptr, st.x, st.y, st.w, st.h,
                   SWP_NOZORDER | SWP_NOACTIVATE | (st.w < 0 ? SWP_NOSIZE : 0));
      break;
    case ST_TITLE: {
      std::string got = window_text(m);
      std::string want = replace_all(replace_all(st.str, "$CMDLINE", s.cmdline), "$SCRIPT", s.script);
      if (got != want) fail(s, st, "got " + quote(got));
      return true;
    }
    case ST_PIXEL: {
      if (!st.now) flush_paint(s);
      POINT p = {st.x, st.y};
      ClientToScreen(m, &p);
      RECT rc;
      GetClientRect(m, &rc);
      if (st.x < 0 || st.y < 0 || st.x >= rc.right || st.y >= rc.bottom) {
        fail(s, st, "outside the client area (" + std::to_string(rc.right) + "x" + std::to_string(rc.bottom) + ")");
        return true;
      }
      if (p.x < 0 || p.y < 0 || p.x >= GetSystemMetrics(SM_CXSCREEN) || p.y >= GetSystemMetrics(SM_CYSCREEN)) {
        fail(s, st, "not on the screen (the client area starts at " + std::to_string(p.x - st.x) + "," +
                        std::to_string(p.y - st.y) + "; use move)");
        return true;
      }
      // What the runtime painted reaches the screen some time later: Wine
      // hands a window's pixels to the X server when the painting thread
      // next waits for messages (which may come after it has answered the
      // WM_NULL above), and the X server takes the requests of the runtime
      // and of the driver in no fixed order. So a pixel that differs is read
      // again, after another flush, until it is right or the time is up.
      // Nothing is repainted that the runtime would not paint by itself.
      DWORD t0 = GetTickCount();
      for (;;) {
        HDC dc = GetDC(m);
        COLORREF c = GetPixel(dc, st.x, st.y);
        ReleaseDC(m, dc);
        int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        bool right = c != CLR_INVALID && abs(r - st.r) <= st.tol && abs(g - st.g) <= st.tol &&
                     abs(b - st.b) <= st.tol;
        if (right) return true;
        if (st.now || elapsed(t0) >= (DWORD)PIXEL_SETTLE_MS) {
          if (c == CLR_INVALID) fail(s, st, "cannot be read");
          else fail(s, st, "got " + std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b));
          return true;
        }
        trace("pixel read again:", st.source + " got " + std::to_string(r) + " " + std::to_string(g) + " " +
                                       std::to_string(b));
        Sleep(10);
        flush_paint(s);
      }
    }
    case ST_SNAPSHOT: {
      if (!st.now) flush_paint(s);
      std::vector<uint8_t> rgb;
      int w, h;
      if (!capture(s, rgb, w, h)) fail(s, st, "the client area is not on the screen (use move)");
      else if (!write_png(win_path(st.str), w, h, rgb)) fail(s, st, "cannot write the file");
      return true;
    }
    default:
      break;
  }
  if (st.kind != ST_IDLE) input_sent(s);
  return true;
}

// ------------------------------------------------------------------ session

static void note_boxes_left(Session& s, const char* state) {
  for (const Box& b : s.boxes)
    if (b.answers == 0) emit(s, box_line(b, state));
  s.boxes.clear();
}

bool session_run(Session& s, const std::vector<Step>& steps) {
  std::string cmd = "\"" + s.exe + "\"";
  if (!s.cmdline.empty()) cmd += " " + s.cmdline;
  std::vector<char> cmdbuf(cmd.begin(), cmd.end());
  cmdbuf.push_back(0);
  STARTUPINFOA si = STARTUPINFOA();
  si.cb = sizeof si;
  s.job = CreateJobObjectA(nullptr, nullptr);
  if (!CreateProcessA(s.exe.c_str(), cmdbuf.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      s.workdir.empty() ? nullptr : s.workdir.c_str(), &si, &s.pi)) {
    emit(s, "! cannot start " + s.exe + " (error " + std::to_string(GetLastError()) + ")");
    if (s.job) CloseHandle(s.job);
    return false;
  }
  // Everything that the runtime starts belongs to the job and ends with it.
  if (s.job) AssignProcessToJobObject(s.job, s.pi.hProcess);
  ResumeThread(s.pi.hThread);
  g_trace_start = GetTickCount();
  trace("started");
  bool had_main = false;

  DWORD start = GetTickCount();
  size_t cur = 0;
  DWORD step_start = start;
  bool exited = false;
  for (;;) {
    exited = WaitForSingleObject(s.pi.hProcess, 0) == WAIT_OBJECT_0;
    scan(s);
    if (s.main && !had_main) { had_main = true; trace("main window"); }
    if (exited) break;
    bool steps_done = cur >= steps.size();
    // Boxes that no step deals with get the default answer: all of them
    // while the current step is not a box step, and those of other captions
    // while it waits for a box of a given caption. A box that a step holds
    // stays open until a step answers it or the runtime closes it.
    const Step* cs = steps_done ? nullptr : &steps[cur];
    bool named_wait = cs && cs->kind == ST_WAITBOX && cs->x;
    if (!cs || !is_box_step(cs->kind) || named_wait) {
      // The newest first: it is the one that takes input.
      for (size_t i = s.boxes.size(); i-- > 0;) {
        Box& b = s.boxes[i];
        if (named_wait && b.caption == cs->str) continue;
        if (b.answers == 0 && !b.claimed) {
          default_answer(s, b);
          break;   // the list may change; look again
        }
      }
    }
    if (!s.png_path.empty() && elapsed(s.last_shot) >= (DWORD)SHOT_EVERY_MS && runtime_idle(s))
      take_shot(s, true, true);
    if (!steps_done) {
      const Step& st = steps[cur];
      bool done;
      if (st.kind == ST_SLEEP) done = elapsed(step_start) >= (DWORD)st.x;
      else if (st.kind == ST_IDLE) done = runtime_idle(s);
      else done = run_step(s, st);
      if (!done) {
        // A step that waits for what can no longer come fails at once
        // rather than at the time limit; the steps after it still run.
        const char* why = s.stuck_ms > 0 ? stuck_reason(s, st) : nullptr;
        if (!why) {
          s.stuck_since = 0;
        } else if (!s.stuck_since) {
          s.stuck_since = GetTickCount() | 1;
        } else if (elapsed(s.stuck_since) >= (DWORD)s.stuck_ms) {
          fail(s, st, why);
          done = true;
        }
      }
      if (done) {
        s.stuck_since = 0;
        trace("step done:", st.source);
        cur++;
        step_start = GetTickCount();
        continue;
      }
    } else if (s.idle_exit_ms > 0 && runtime_idle(s) && elapsed(s.idle_since) >= (DWORD)s.idle_exit_ms) {
      if (!s.png_path.empty()) take_shot(s, true, true);
      emit(s, "waits for input: closed by the driver");
      PostMessageA(s.main, WM_CLOSE, 0, 0);
      s.idle_exit_ms = 0;
    }
    if (elapsed(start) >= (DWORD)s.timeout_ms) break;
    WaitForSingleObject(s.pi.hProcess, POLL_MS);
  }
  trace(exited ? "exited" : "time limit");
  if (!exited) {
    if (!s.png_path.empty()) take_shot(s, false, false);   // it may be busy: no repaint
    note_boxes_left(s, "(open)");
    s.killed = true;
  }
  release_held(s);
  if (cur < steps.size()) {
    std::string more = steps.size() - cur > 1 ? " (and " + std::to_string(steps.size() - cur - 1) + " more)" : "";
    emit(s, "! step not reached: " + steps[cur].source + more + (exited ? ": the runtime has exited" : ""));
  }
  if (s.next_answer < s.answers.size()) {
    size_t left = s.answers.size() - s.next_answer;
    std::string more = left > 1 ? " (and " + std::to_string(left - 1) + " more)" : "";
    emit(s, "! no box came for the answer " + quote(s.answers[s.next_answer]) + more);
  }
  if (s.job) TerminateJobObject(s.job, 1);
  else if (!exited) TerminateProcess(s.pi.hProcess, 1);
  WaitForSingleObject(s.pi.hProcess, 5000);
  trace("ended");
  if (s.killed) {
    emit(s, "killed (time limit " + std::to_string(s.timeout_ms) + " ms)");
  } else {
    note_boxes_left(s, "(closed)");
    DWORD code = 0;
    GetExitCodeProcess(s.pi.hProcess, &code);
    emit(s, "exit " + std::to_string(code));
  }
  if (!s.png_path.empty()) {
    if (s.shot.empty()) emit(s, "! no picture: the main window was never on the screen while idle");
    else if (!write_png(win_path(s.png_path), s.shot_w, s.shot_h, s.shot))
      emit(s, "! cannot write " + s.png_path);
  }
  CloseHandle(s.pi.hThread);
  CloseHandle(s.pi.hProcess);
  if (s.job) CloseHandle(s.job);
  return true;
}
