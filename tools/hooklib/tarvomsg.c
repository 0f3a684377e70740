/* Tarvomsg.dll: the hook library that keystroke sending installs as a
 * WH_CALLWNDPROC hook for the whole desktop while it waits for a target
 * program to react. In every hooked thread it looks at the messages that
 * reach window procedures and, while the runtime's hook-listener window
 * (class "TarvoHookClass", title "TarvoHookWindow") has window word 0 set
 * to 1, reports the few messages the listener acts on with WM_COPYDATA:
 * wParam the window that got the message, dwData the message, lpData two
 * 32-bit values, the message's wParam and lParam.
 *
 * It is not part of the runtime: the runtime only loads it by name, installs
 * its export "CallWndProc" and relies on these reports. */
#include <windows.h>
#include <stdint.h>

/* How long a report may hold up the hooked program. */
#define REPORT_TIMEOUT_MS 250

static int reported(UINT m) {
  switch (m) {
    case WM_DESTROY:
    case WM_ACTIVATE:
    case WM_KILLFOCUS:
    case WM_ACTIVATEAPP:
    case WM_CANCELMODE:
    case WM_NCCREATE:
    case WM_INITMENUPOPUP:
    case WM_MENUSELECT:
    case WM_ENTERIDLE:
      return 1;
  }
  return 0;
}

static void report(const CWPSTRUCT* c) {
  HWND listener = FindWindowA("TarvoHookClass", "TarvoHookWindow");
  if (!listener || c->hwnd == listener) return;
  /* The listener's own thread is never reported (a report to it is itself
   * a message to a window procedure). */
  if (GetWindowThreadProcessId(listener, NULL) == GetCurrentThreadId()) return;
  if (GetWindowWord(listener, 0) != 1) return;
  uint32_t values[2];
  values[0] = (uint32_t)c->wParam;
  values[1] = (uint32_t)c->lParam;
  COPYDATASTRUCT cd;
  cd.dwData = c->message;
  cd.cbData = sizeof values;
  cd.lpData = values;
  DWORD_PTR answer;
  SendMessageTimeoutA(listener, WM_COPYDATA, (WPARAM)c->hwnd, (LPARAM)&cd, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                      REPORT_TIMEOUT_MS, &answer);
}

__declspec(dllexport) LRESULT CALLBACK CallWndProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && lp) {
    const CWPSTRUCT* c = (const CWPSTRUCT*)lp;
    if (reported(c->message)) report(c);
  }
  return CallNextHookEx(NULL, code, wp, lp);
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(inst);
  return TRUE;
}
