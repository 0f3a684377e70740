// SENDKEYS and SETSENDKEYSPRIORITY: keystrokes typed into another program as
// keyboard messages to the window that has the focus inside it.
//
// Plain characters are sent synchronously. Named keys, and characters that
// go to a menu or with Alt, are posted inside a hook cycle: the hook library
// Tarvomsg.dll is loaded and installed for the whole desktop, and the main
// thread waits on the send mutex, which the hook-listener thread holds until
// the target's reaction (a menu, a dialog, a new window) has been reported
// or the reply wait is over. The same cycle finds the focus window first:
// the foreground goes to the target and straight back, and the child that
// reports losing the focus is the destination.
//
// Every item but a prefix releases the modifiers that are down, a named key
// without a count too ("^{HOME}x" is Ctrl+HOME, then a plain x).
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include "core/script.h"
#include "core/variables.h"
#include "host/hook_listener.h"
#include "host/keystrokes.h"
#include <windows.h>

// How long one pass of the focus search waits for the focus window to be
// reported (after the focus pause), and how many passes may run out of time
// before it gives up: a target without a focusable child never reports one,
// and a target that is already in the foreground with the focus on its own
// frame (just restored from an icon) reports its child only on the next
// pass, which activates it again.
static const DWORD FOCUS_WAIT_MS = 1000;
static const int FOCUS_TIMEOUTS = 3;
static const int FOCUS_PASSES = 10;
// Key downs posted for one named key at most: a message queue holds no more
// (Windows refuses posts beyond 10000 per queue).
static const int32_t POSTED_KEY_LIMIT = 10000;

static HMODULE s_library = nullptr;
static HHOOK s_hook = nullptr;

static HWND target() { return window_of(g_send.target); }
static HWND destination() { return window_of(g_send.destination); }

// Waits for a reply: negative times count as none.
static DWORD wait_time(int32_t ms) { return ms < 0 ? 0 : (DWORD)ms; }

static bool load_library() {
  s_library = LoadLibraryA("Tarvomsg.dll");
  if (s_library && GetProcAddress(s_library, "CallWndProc")) return true;
  if (s_library) FreeLibrary(s_library);
  s_library = nullptr;
  set_error_only(MSG_NO_HOOK_DLL);
  return false;
}

static void free_library() {
  if (s_library) FreeLibrary(s_library);
  s_library = nullptr;
}

// Steps 2-4 of a hook cycle: the listener takes the mutex, then the hook goes in.
static void begin_cycle(uint32_t mode) {
  g_send.mode = mode;
  g_send.dispatch = 1;
  HWND hw = g_hook_window;
  if (hw) {
    SendMessageA(hw, HOOK_TAKE_MUTEX, 0, 0);
    SetWindowWord(hw, 0, 1);
  }
  s_hook = SetWindowsHookExA(WH_CALLWNDPROC, (HOOKPROC)(void*)GetProcAddress(s_library, "CallWndProc"),
                             s_library, 0);
}

// Waits until the listener lets go of the mutex; false when the time ran out.
static bool wait_cycle(DWORD ms) {
  DWORD r = WaitForSingleObject(g_send_mutex, ms);
  if (r != WAIT_TIMEOUT) {
    ReleaseMutex(g_send_mutex);
    return true;
  }
  HWND hw = g_hook_window;
  if (hw) SendMessageA(hw, HOOK_RELEASE_MUTEX, 0, 0);
  return false;
}

static void end_cycle() {
  HWND hw = g_hook_window;
  if (hw) SetWindowWord(hw, 0, 0);
  g_send.dispatch = 0;
  g_send.mode = MODE_IDLE;
  if (s_hook) UnhookWindowsHookEx(s_hook);
  s_hook = nullptr;
}

enum Outcome { DONE, LOST, FAILED };

// Finds the focus window inside the target (destination). A target that was
// replaced while searching is searched again.
static Outcome focus_search(int32_t pause) {
  if (!load_library()) return FAILED;
  g_send.focus_found = 0;
  g_send.replaced = 0;
  int timeouts = 0;
  for (int pass = 0; pass < FOCUS_PASSES && !g_send.focus_found && g_hook_window; ++pass) {
    g_send.deactivated = 0;
    begin_cycle(MODE_FOCUS);
    SetForegroundWindow(target());
    // The target takes the activation on its own thread; a message sent to
    // it returns once it has, so that switching back deactivates it.
    DWORD_PTR answer;
    SendMessageTimeoutA(target(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, FOCUS_WAIT_MS, &answer);
    SetForegroundWindow(g_mainwnd);
    Sleep(wait_time(pause));
    bool answered = wait_cycle(FOCUS_WAIT_MS);
    end_cycle();
    if (!answered && ++timeouts == FOCUS_TIMEOUTS) break;
  }
  free_library();
  return g_send.focus_found && IsWindow(destination()) ? DONE : LOST;
}

static bool sys_keys() { return g_send.alt || g_send.iconic; }

// Releases the modifiers that are down (Shift, Ctrl, Alt) and clears them.
static void release_modifiers() {
  HWND d = destination();
  bool alt = g_send.alt;
  if (g_send.shift)
    SendMessageA(d, alt ? WM_SYSKEYUP : WM_KEYUP, VK_SHIFT, alt ? 0xE0000001 : 0xC0000001);
  if (g_send.ctrl)
    SendMessageA(d, alt ? WM_SYSKEYUP : WM_KEYUP, VK_CONTROL, alt ? 0xE0000001 : 0xC0000001);
  if (alt) SendMessageA(d, WM_KEYUP, VK_MENU, 0xC0380001);
  g_send.shift = g_send.ctrl = g_send.alt = 0;
}

// The character that Ctrl makes of c: the control character for "@" .. "_"
// and the letters; other characters stay as they are.
static WPARAM ctrl_char(int c) {
  int u = upper_ascii((char)c);
  return (u >= '@' && u <= '_') ? (WPARAM)(u - 64) : (WPARAM)c;
}

// A character sent directly: count times key down and character, then the key up.
static Outcome send_direct(int c, int32_t count) {
  HWND d = destination();
  bool sys = sys_keys();
  LPARAM l = sys ? 0x20000001 : 0x00000001;
  WPARAM vk = (c >= 'a' && c <= 'z') ? (WPARAM)(c - 32) : (WPARAM)c;
  WPARAM ch = g_send.ctrl ? ctrl_char(c) : (WPARAM)c;
  for (int32_t i = 0; i < count && i < POSTED_KEY_LIMIT; ++i) {
    if (!IsWindow(d)) return LOST;
    SendMessageA(d, sys ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, l);
    SendMessageA(d, sys ? WM_SYSCHAR : WM_CHAR, ch, l);
  }
  SendMessageA(d, sys ? WM_SYSKEYUP : WM_KEYUP, vk, sys ? 0xE0000001 : 0xC0000001);
  return DONE;
}

// A character for an open menu, or with Alt: posted in a character hook cycle.
static Outcome send_hooked_char(int c, int32_t reply_wait) {
  if (!load_library()) return FAILED;
  g_send.reports = 0;
  g_send.replaced = 0;
  begin_cycle(MODE_CHAR);
  WPARAM ch = (WPARAM)c;
  if (g_send.ctrl && c >= 64) ch = (WPARAM)(c - 64);
  PostMessageA(destination(), g_send.alt ? WM_SYSCHAR : WM_CHAR, ch, 0x20000001);
  wait_cycle(wait_time(reply_wait));
  end_cycle();
  free_library();
  g_send.need_focus = g_send.replaced;
  if (g_send.replaced) g_send.target = g_send.replacement;
  return DONE;
}

// A named key: posted count times down, then up, in a key hook cycle.
static Outcome send_hooked_key(int code, int32_t count, int32_t reply_wait) {
  if (!load_library()) return FAILED;
  g_send.reports = 0;
  g_send.replaced = 0;
  g_send.last_other = 0;
  begin_cycle(MODE_KEY);
  HWND d = destination();
  bool sys = sys_keys();
  for (int32_t i = 0; i < count && i < POSTED_KEY_LIMIT; ++i)
    if (!PostMessageA(d, sys ? WM_SYSKEYDOWN : WM_KEYDOWN, (WPARAM)code, sys ? 0x20000001 : 0x00000001)) break;
  PostMessageA(d, sys ? WM_SYSKEYUP : WM_KEYUP, (WPARAM)code, sys ? 0xE0000001 : 0xC0000001);
  wait_cycle(wait_time(reply_wait));
  end_cycle();
  free_library();
  g_send.need_focus = g_send.replaced;
  if (g_send.replaced) {
    g_send.target = g_send.replacement;
  } else {
    HWND t = target(), dest = destination();
    if (dest != t && !IsChild(t, dest)) return LOST;
  }
  return DONE;
}

static Outcome send_item(const KeyItem& item, int32_t reply_wait) {
  HWND d = destination();
  switch (item.kind) {
    case KEY_ALT:
      SetForegroundWindow(target());
      g_send.alt = 1;
      SendMessageA(d, WM_SYSKEYDOWN, VK_MENU, 0x60380001);
      return DONE;
    case KEY_SHIFT:
    case KEY_CTRL:
      if (item.kind == KEY_SHIFT) g_send.shift = 1; else g_send.ctrl = 1;
      SendMessageA(d, sys_keys() ? WM_SYSKEYDOWN : WM_KEYDOWN, item.kind == KEY_SHIFT ? VK_SHIFT : VK_CONTROL,
                   g_send.alt ? 0x20000001 : 0x00000001);
      return DONE;
    case KEY_CHAR: {
      Outcome o;
      if (!item.braced && (g_send.alt || g_send.menu_mode))
        o = send_hooked_char(item.code, reply_wait);
      else
        o = send_direct(item.code, item.count);
      if (o == DONE) release_modifiers();
      return o;
    }
    case KEY_NAMED: {
      Outcome o = send_hooked_key(item.code, item.count, reply_wait);
      if (o == DONE) release_modifiers();
      return o;
    }
  }
  return DONE;
}

// Sends the keystroke string; DONE when all of it was delivered.
static Outcome send_keys(const char* end, int32_t pause, int32_t reply_wait) {
  while (g_pos < end) {
    uint32_t was_iconic = g_send.iconic;
    g_send.iconic = IsIconic(target()) ? 1 : 0;
    if (g_send.iconic) {
      g_send.need_focus = 0;
      g_send.destination = g_send.target;
    } else if (was_iconic) {
      g_send.need_focus = 1;
    }
    if (g_send.need_focus && !g_send.menu_mode) {
      Outcome o = focus_search(pause);
      if (o != DONE) return o;
      g_send.need_focus = 0;
    }
    KeyItem item;
    if (!read_key_item(end, &item)) return FAILED;
    if (item.kind == KEY_END) break;
    Outcome o = send_item(item, reply_wait);
    if (o != DONE) return o;
  }
  release_modifiers();
  return DONE;
}

const ArgItem SYN_sendkeys[] = {LP_, STR_, CM_, STR_, CM_, NUM_, CM_, NUM_, CM_, NUMVAR_, RP_, END_};
bool cmd_sendkeys() {
  NumVar* result = arg_numvar(6);
  result->value = 0;
  HWND t = arg_len(1) ? FindWindowA(nullptr, arg_text(0)) : nullptr;
  if (!t) return true;
  wait_hook_listener();
  g_send.target = window_value(t);
  g_send_mutex = CreateMutexA(nullptr, FALSE, "TarvoMutexObject");
  if (!g_send_mutex) {
    set_error_only(MSG_MUTEX);
    return false;
  }
  char* saved = g_pos;
  g_pos = (char*)arg_text(2);
  g_send.iconic = g_send.menu_mode = g_send.alt = g_send.ctrl = g_send.shift = 0;
  g_send.need_focus = 1;
  Outcome o = send_keys(arg_text(2) + arg_len(3), arg_num(4), arg_num(5));
  CloseHandle(g_send_mutex);
  g_send_mutex = nullptr;
  g_pos = saved;
  if (o == FAILED) return false;
  if (o == DONE) result->value = 1;
  return true;
}

static const KeywordRow s_thread_priorities[] = {{"LOWEST", -2}, {"BELOW_NORMAL", -1}, {"NORMAL", 0},
                                                 {"ABOVE_NORMAL", 1}, {"HIGHEST", 2}, {nullptr, 0}};
const ArgItem SYN_setsendkeyspriority[] = {LP_, KW_(s_thread_priorities), RP_, END_};
bool cmd_setsendkeyspriority() {
  if (g_hook_thread) SetThreadPriority(g_hook_thread, arg_num(0));
  return true;
}
