// The hook-listener thread: a hidden window of class "TarvoHookClass" that
// receives the hook library's reports (WM_COPYDATA from other processes)
// and the main thread's requests to take or release the send mutex.
#include "host/hook_listener.h"
#include "core/runtime.h"
#include <string.h>

SendState g_send;
HANDLE g_send_mutex = nullptr;
HWND volatile g_hook_window = nullptr;
HANDLE g_hook_thread = nullptr;

static HANDLE s_window_ready = nullptr;

static const char HOOK_CLASS[] = "TarvoHookClass";
static const char HOOK_TITLE[] = "TarvoHookWindow";

// Reports after which a send stops waiting for the one it expects.
static const uint32_t CHAR_REPORT_LIMIT = 150;
static const uint32_t KEY_REPORT_LIMIT = 300;

static void release() { ReleaseMutex(g_send_mutex); }

static bool menu_closed(uint32_t p, uint32_t q) { return p == 0xFFFF0000u && q == 0; }

// Menus opening and closing in the target, alike for character and key sends.
static bool menu_report(uint32_t m, uint32_t p, uint32_t q) {
  if (m == WM_INITMENUPOPUP) {
    g_send.menu_mode = 1;
    release();
    return true;
  }
  if (m == WM_MENUSELECT && menu_closed(p, q)) g_send.menu_mode = 0;
  return false;
}

static void focus_report(uint32_t w, uint32_t m, uint32_t p, uint32_t q) {
  SendState& s = g_send;
  switch (m) {
    case WM_DESTROY:
      if (w == s.target && p == 0 && q == 0) s.replaced = 1;
      break;
    case WM_KILLFOCUS:
      if (s.deactivated == 1 && p == 0 && q == 0 && IsChild(window_of(s.target), window_of(w))) {
        s.destination = w;
        s.deactivated = 0;
        s.focus_found = 1;
        release();
      }
      break;
    case WM_ACTIVATEAPP:
      if (w == s.target && p == 0) s.deactivated = 1;
      break;
    case WM_NCCREATE:
      if (s.replaced == 1) {
        s.target = w;
        s.replaced = 0;
        release();
      }
      break;
  }
}

// Returns true when the report ended the wait.
static bool char_report(uint32_t w, uint32_t m, uint32_t p, uint32_t q) {
  SendState& s = g_send;
  switch (m) {
    case WM_CANCELMODE:
      if (w == s.target && p == 0 && q == 0) s.replaced = 1;
      return false;
    case WM_NCCREATE:
      if (s.replaced != 1) return false;
      s.replacement = w;
      s.menu_mode = 0;
      release();
      return true;
  }
  return menu_report(m, p, q);
}

static bool key_report(uint32_t w, uint32_t m, uint32_t p, uint32_t q) {
  SendState& s = g_send;
  switch (m) {
    case WM_DESTROY:
    case WM_CANCELMODE:
      if (w == s.target && p == 0 && q == 0) {
        s.replaced = 1;
        s.replacement = s.last_other;
      }
      return false;
    case WM_ACTIVATE:
      if (w == s.target && p == WA_INACTIVE) {
        s.replacement = q;
        s.replaced = 1;
        release();
        return true;
      }
      s.last_other = w;
      return false;
    case WM_KILLFOCUS:
      if (w != s.destination || p == s.target) return false;
      s.destination = p;
      release();
      return true;
    case WM_NCCREATE:
      if (s.replaced != 1) return false;
      s.replacement = w;
      release();
      return true;
    case WM_ENTERIDLE:
      if (q != s.target) return false;
      release();
      return true;
  }
  return menu_report(m, p, q);
}

void handle_hook_report(uint32_t w, uint32_t m, uint32_t p, uint32_t q) {
  switch (g_send.mode) {
    case MODE_FOCUS:
      focus_report(w, m, p, q);
      break;
    case MODE_CHAR:
      ++g_send.reports;
      if (!char_report(w, m, p, q) && g_send.reports >= CHAR_REPORT_LIMIT) release();
      break;
    case MODE_KEY:
      ++g_send.reports;
      if (!key_report(w, m, p, q) && g_send.reports >= KEY_REPORT_LIMIT) release();
      break;
  }
}

static LRESULT CALLBACK hook_window_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COPYDATA: {
      // Sent by other processes: only a report of the expected shape,
      // during a hook cycle, is used.
      const COPYDATASTRUCT* cd = (const COPYDATASTRUCT*)lp;
      if (!cd || cd->cbData != 2 * sizeof(uint32_t) || !cd->lpData) return TRUE;
      if (!g_send.dispatch || g_send.mode == MODE_IDLE || GetWindowWord(wnd, 0) != 1) return TRUE;
      uint32_t v[2];
      memcpy(v, cd->lpData, sizeof v);
      handle_hook_report(window_value((HWND)wp), (uint32_t)cd->dwData, v[0], v[1]);
      return TRUE;
    }
    case HOOK_TAKE_MUTEX:
      if (g_send_mutex) WaitForSingleObject(g_send_mutex, INFINITE);
      return 0;
    case HOOK_RELEASE_MUTEX:
      if (g_send_mutex) ReleaseMutex(g_send_mutex);
      return 0;
    case WM_NCDESTROY:
      g_send.dispatch = 0;
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

static DWORD WINAPI hook_thread(LPVOID) {
  HWND wnd = CreateWindowExA(0, HOOK_CLASS, HOOK_TITLE, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                             g_inst, nullptr);
  g_hook_window = wnd;
  SetEvent(s_window_ready);
  if (!wnd) ExitThread(0);
  MSG msg;
  // Messages sent to the window reach its procedure inside GetMessageA;
  // posted ones are handled only during a hook cycle.
  while (IsWindow(wnd) && GetMessageA(&msg, wnd, 0, 0) > 0) {
    if (g_send.dispatch) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  g_hook_window = nullptr;
  return 0;
}

bool start_hook_listener() {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = hook_window_proc;
  wc.cbWndExtra = 2;
  wc.hInstance = g_inst;
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = HOOK_CLASS;
  if (!RegisterClassA(&wc)) return false;
  s_window_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id;
  g_hook_thread = CreateThread(nullptr, 0, hook_thread, nullptr, 0, &id);
  return g_hook_thread != nullptr;
}

// The first SENDKEYS must find the window, so it waits here for the thread to
// have made it; start-up does not pay for that. A thread that cannot make it
// leaves it null, and keys are then sent without waiting for reports. (The
// event stays open and set: later calls return at once.)
void wait_hook_listener() {
  if (s_window_ready) WaitForSingleObject(s_window_ready, 5000);
}
