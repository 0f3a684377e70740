/* The yardstick for start-up: a bare Win32 program that registers a class,
   opens a window, runs its message loop until the window is gone, and exits.
   With the argument "hold" it keeps its window until it is killed (the
   runner uses that to keep Wine's virtual desktop up while it times).
   Built with -DCOMMON_CONTROLS it also initialises the common controls, as
   the runtime's start-up must: loading them is the largest single part of
   the difference between the two. */
#include <windows.h>
#ifdef COMMON_CONTROLS
#include <commctrl.h>
#endif

static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_USER) { DestroyWindow(w); return 0; }
  if (m == WM_DESTROY) { PostQuitMessage(0); return 0; }
  return DefWindowProcA(w, m, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmd, int show) {
#ifdef COMMON_CONTROLS
  InitCommonControls();
#endif
  WNDCLASSA wc = {0};
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.lpszClassName = "Bare";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, "Bare", "Bare", WS_POPUP, -310, -110, 300, 100, NULL, NULL, inst, NULL);
  ShowWindow(w, show);
  UpdateWindow(w);
  if (lstrcmpA(cmd, "hold") != 0) PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
