#include "host/window.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include "host/startup.h"
#include "core/statements.h"
#include "graphics/surface.h"
#include "host/bindings.h"
#include "host/dialogs.h"
#include "host/menus.h"

InputTimeout g_timeout = {0, 0, 1};
HCURSOR g_cursor = nullptr;

// The statement loop's side of the window (core/statements.h), installed
// before main runs.
static void loop_enter() {
  disarm_input_timeout();
  begin_drawing();
}
static void loop_destroy() {
  if (g_mainwnd) DestroyWindow(g_mainwnd);
}
// The press that asks the question is still queued: taken out here, or the
// question box would get it and take it for Cancel. Other keys go on as
// through any box's loop (they are held for the bindings).
static void take_break_keys() {
  MSG m;
  while (PeekMessageA(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    if ((m.message == WM_KEYDOWN || m.message == WM_KEYUP) && m.wParam == VK_CANCEL) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}
// The statement loop's look at Ctrl+Break: the key is read at most once a
// tick of the system clock (10 to 16 ms), since reading it polls the display
// connection under Wine (about 6 us), which the fast loops would otherwise
// pay thousands of times a second.
static DWORD s_break_tick;
static bool break_key_confirmed() {
  DWORD now = GetTickCount();
  if (now == s_break_tick) return false;
  s_break_tick = now;
  if (!(GetAsyncKeyState(VK_CANCEL) & 0x8000)) return false;
  take_break_keys();
  return confirm_end();
}
static const bool s_loop_hooked = (g_loop_hooks = LoopHooks{loop_enter, end_drawing, loop_destroy, cleanup},
                                   g_break_requested = break_key_confirmed, true);

// Input that arrives while the script runs (a message box or dialog of a
// statement lets queued messages through) is held here and matched in
// arrival order once the script waits again, so a label never starts in the
// middle of another statement.
enum EventKind : uint8_t { EV_MOUSE, EV_KEY, EV_CHAR, EV_COMMAND };
struct HeldEvent {
  uint8_t kind;
  uint8_t binding;   // mouse binding kind
  uint16_t id;       // command id
  int32_t x, y;      // mouse position, or key / character in x
};
static HeldEvent s_held[64];
static uint32_t s_held_head = 0, s_held_count = 0;

static void hold(const HeldEvent& e) {
  if (s_held_count == 64) return;  // a flood of input while busy: drop the excess
  s_held[(s_held_head + s_held_count) % 64] = e;
  ++s_held_count;
}

static bool dispatch(const HeldEvent& e) {
  switch (e.kind) {
    case EV_MOUSE: return match_mouse(e.binding, e.x, e.y);
    case EV_KEY: return match_key((uint32_t)e.x);
    case EV_CHAR: return match_char((unsigned char)e.x);
    default:
      if (e.id >= FIRST_BUTTON_ID) match_button(e.id); else match_menu(e.id);
      return true;  // commands resume the script whether or not they matched
  }
}

// While the About box of the menu is open the script neither starts nor
// resumes: its start message and its input wait for the box to close.
static int s_about_open = 0;
static bool s_start_pending = false;

static bool busy() { return g_script_running || s_about_open; }

// Matches held input in arrival order; each match runs the script, which
// may hold more.
static void drain_held() {
  while (s_held_count && !g_script_ended && !busy()) {
    HeldEvent e = s_held[s_held_head];
    s_held_head = (s_held_head + 1) % 64;
    --s_held_count;
    if (dispatch(e)) run_statements();
  }
}

// Runs the script and then whatever input was held meanwhile.
static void resume() {
  if (s_about_open) return;
  run_statements();
  drain_held();
}

static void deliver(const HeldEvent& e) {
  if (g_script_ended) return;
  if (busy()) {
    hold(e);
    return;
  }
  if (dispatch(e)) resume();
}

static void about_box() {
  uint32_t armed = g_timeout.armed;
  g_timeout.armed = 0;
  ++s_about_open;
  show_about_box();
  --s_about_open;
  g_timeout.armed = armed;
  if (busy() || g_script_ended) return;
  if (s_start_pending) {
    s_start_pending = false;
    resume();
  } else {
    drain_held();
  }
}

static void mouse(uint8_t binding, LPARAM lp) {
  HeldEvent e = {EV_MOUSE, binding, 0, (int32_t)LOWORD(lp), (int32_t)HIWORD(lp)};
  deliver(e);
}

LRESULT CALLBACK main_window_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      repaint_window();
      return 0;
    case WM_DESTROY:
      g_script_ended = true;
      if (!g_script_running) cleanup();
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND: {
      uint16_t id = LOWORD(wp);
      if (id == ABOUT_COMMAND) {
        about_box();
      } else {
        HeldEvent e = {EV_COMMAND, 0, id, 0, 0};
        deliver(e);
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (wp == VK_CANCEL && confirm_end()) {
        DestroyWindow(wnd);
        return 0;
      }
      {
        HeldEvent e = {EV_KEY, 0, 0, (int32_t)(uint32_t)wp, 0};
        deliver(e);
      }
      return 0;
    case WM_CHAR: {
      HeldEvent e = {EV_CHAR, 0, 0, (int32_t)(unsigned char)(wp & 0xFF), 0};
      deliver(e);
      return 0;
    }
    case WM_TIMER:
      if (g_timeout.armed && GetTickCount() - g_timeout.start >= g_timeout.duration) resume();
      return 0;
    case WM_MOUSEMOVE:
      SetCursor(g_cursor);
      ShowCursor(TRUE);
      return 0;
    case START_MESSAGE:
      if (s_about_open)
        s_start_pending = true;
      else
        resume();
      return 0;
    case WM_LBUTTONDOWN:
      mouse(wp == (MK_LBUTTON | MK_CONTROL) ? BIND_CTRL_LEFT : BIND_LEFT, lp);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (wp == MK_LBUTTON) mouse(BIND_DOUBLE, lp);
      return 0;
    case WM_RBUTTONDOWN:
      mouse(wp == (MK_RBUTTON | MK_SHIFT) ? BIND_SHIFT_RIGHT : BIND_RIGHT, lp);
      return 0;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

// ---- window commands

static const KeywordRow s_setwindow_words[] = {{"MINIMIZE", 7}, {"MAXIMIZE", 3}, {"RESTORE", 9}, {nullptr, 0}};
const ArgItem SYN_setwindow[] = {LP_, KW_(s_setwindow_words), RP_, END_};
bool cmd_setwindow() {
  ShowWindow(g_mainwnd, arg_num(0));
  return true;
}

static const KeywordRow s_waitmode_words[] = {{"FOCUS", 1}, {"NULL", 0}, {nullptr, 0}};
const ArgItem SYN_setwaitmode[] = {LP_, KW_(s_waitmode_words), RP_, END_};
bool cmd_setwaitmode() { return true; }
