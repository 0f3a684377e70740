// The hook-listener thread and its hidden window, and the send state that
// SENDKEYS (main thread) and the listener share. The hook library reports
// messages of other processes to the window with WM_COPYDATA; the listener
// updates the send state and releases the send mutex on which the main
// thread waits.
#pragma once
#include <windows.h>
#include <stdint.h>

#define HOOK_TAKE_MUTEX (WM_USER + 51)
#define HOOK_RELEASE_MUTEX (WM_USER + 52)

enum ListenerMode : uint32_t { MODE_IDLE = 0, MODE_FOCUS = 1, MODE_CHAR = 2, MODE_KEY = 3 };

// Windows are kept as 32-bit values (window handles are 32 bits wide on
// every target; the reports carry them that way).
struct SendState {
  volatile uint32_t target;       // top-level window named by the title
  volatile uint32_t destination;  // receives the key messages
  volatile uint32_t alt, ctrl, shift;
  volatile uint32_t iconic;
  volatile uint32_t need_focus;
  volatile uint32_t menu_mode;    // the target shows a menu
  volatile uint32_t mode;         // ListenerMode
  volatile uint32_t dispatch;     // a hook cycle runs
  volatile uint32_t replaced;     // the target went away
  volatile uint32_t replacement;  // the window to become the target
  volatile uint32_t last_other;   // key send: last other window activated
  volatile uint32_t deactivated;  // focus search: the target app lost activation
  volatile uint32_t focus_found;  // focus search: destination found
  volatile uint32_t reports;      // reports in the current send
};
extern SendState g_send;
extern HANDLE g_send_mutex;            // while a SENDKEYS runs
extern HWND volatile g_hook_window;    // null when the listener has no window
extern HANDLE g_hook_thread;

inline HWND window_of(uint32_t v) { return (HWND)(intptr_t)(int32_t)v; }
inline uint32_t window_value(HWND w) { return (uint32_t)(uintptr_t)w; }

// Registers "TarvoHookClass" and starts the listener thread; true when both
// worked.
bool start_hook_listener();
// Waits (at most 5 s) until the listener thread has made its window, or
// found that it cannot.
void wait_hook_listener();

// What the listener does with one report in the current mode: window w got
// message m with parameters p and q. Runs on the listener thread.
void handle_hook_report(uint32_t w, uint32_t m, uint32_t p, uint32_t q);
