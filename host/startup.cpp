#include "host/startup.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/memory.h"
#include "core/runtime.h"
#include "core/script.h"
#include "core/statements.h"
#include "core/variables.h"
#include "graphics/bitmap_files.h"
#include "graphics/surface.h"
#include "host/bindings.h"
#include "host/debugger.h"
#include "host/hook_listener.h"
#include "host/menus.h"
#include "host/window.h"
#include "system/clipboard_dde.h"
#include "system/programs.h"
#include "system/system_libraries.h"
#include <commctrl.h>
#include <commdlg.h>
#include <string.h>

HINSTANCE g_inst = nullptr;
HWND g_mainwnd = nullptr;
char g_title[256] = "";
int g_win95 = 0;
bool g_bound = false;
// Patched by the binder in the executable file; see runtime.h.
BindRecord g_bind = {TARVO_BIND_MARKER, 0};

static char s_script_path[256];

static void copy_truncated(char* dst, size_t cap, const char* a, const char* b) {
  size_t n = 0;
  for (const char* s = a; *s && n + 1 < cap; ++s) dst[n++] = *s;
  for (const char* s = b; s && *s && n + 1 < cap; ++s) dst[n++] = *s;
  dst[n] = 0;
}

static void startup_box(const char* text) {
  MessageBoxA(g_mainwnd, text, g_title, MB_ICONHAND);
}

// Size of the file at path, or false when it cannot be opened or sized.
static bool file_size(const char* path, uint32_t* size) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD s = SetFilePointer(h, 0, nullptr, FILE_END);
  CloseHandle(h);
  if (s == INVALID_SET_FILE_POINTER) return false;
  *size = s;
  return true;
}

bool load_script_file(const char* path, uint32_t offset, bool scrambled) {
  uint32_t size;
  if (!file_size(path, &size) || size < offset) return false;
  uint32_t len = size - offset;
  if (!make_script_buffer(len)) return false;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE || SetFilePointer(h, (LONG)offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    free_script();
    return false;
  }
  // Read straight into the buffer, a megabyte at a time: the same bytes as
  // reading 4096-byte chunks until a short read, with far fewer system calls.
  uint32_t filled = 0;
  while (filled < len) {
    DWORD want = len - filled < (1u << 20) ? len - filled : (1u << 20);
    DWORD got = 0;
    if (!ReadFile(h, g_script + 1 + filled, want, &got, nullptr) || got == 0) break;
    if (scrambled)
      for (DWORD i = 0; i < got; ++i) g_script[1 + filled + i] = (char)(g_script[1 + filled + i] - 64);
    filled += got;
  }
  CloseHandle(h);
  g_pos = g_script;
  return true;
}

// Asks for a script until one opens; false when the user cancels.
static bool choose_script() {
  for (;;) {
    char title[256] = "";
    s_script_path[0] = 0;
    static const char filter[] = "Script Files(*.TRV)\0*.trv\0All Files(*.trv)\0*.trv\0";
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = s_script_path;
    ofn.nMaxFile = sizeof s_script_path;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.lpstrTitle = msg_text(MSG_OPEN_TITLE);
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!open_file_dialog(&ofn)) return false;
    uint32_t size;
    if (file_size(s_script_path, &size)) {
      copy_truncated(g_title, sizeof g_title, msg_text(MSG_TITLE_PREFIX), s_script_path);
      OemToCharA(g_title, g_title);
      return true;
    }
  }
}

void cleanup() {
  release_drawing_state();
  release_bitmap_cache();
  release_processes();
  destroy_buttons();
  // Variables and labels name themselves by pointing into the script text:
  // they go before the text does.
  free_all_variables();
  free_labels();
  free_dispatch();
  free_script();
  stop_dde();
}

// Start-up fails after the main window exists: destroying it runs the
// clean-up (the window procedure sees no script running).
static void abandon_window() {
  HWND w = g_mainwnd;
  g_mainwnd = nullptr;
  g_script_ended = true;
  DestroyWindow(w);
}

int tarvo_main(HINSTANCE inst, HINSTANCE prev, LPSTR cmdline, int show) {
  g_inst = inst;
  uint32_t offset = g_bind.offset;
  g_bound = offset != 0;
  if (cmdline == nullptr) cmdline = (LPSTR) "";
  // Debug mode (host/debugger.h): a bound runtime never reads its command line.
  if (!g_bound && !(cmdline = debug_switch(cmdline))) return 0;

  // 1. Title.
  if (g_bound)
    copy_truncated(g_title, sizeof g_title, msg_text(MSG_RUNTIME_TITLE), nullptr);
  else
    copy_truncated(g_title, sizeof g_title, msg_text(MSG_TITLE_PREFIX), cmdline);
  OemToCharA(g_title, g_title);

  // 2. Screen and surface.
  measure_screen();
  if (!create_surface()) return 0;

  // 3-5. Script source and reading.
  uint32_t size;
  if (g_bound) {
    if (!GetModuleFileNameA(inst, s_script_path, sizeof s_script_path) ||
        !file_size(s_script_path, &size) || size < offset) {
      startup_box(msg_text(MSG_CANNOT_READ_SCRIPT));
      release_drawing_state();
      return 0;
    }
  } else {
    copy_truncated(s_script_path, sizeof s_script_path, cmdline, nullptr);
    if (!file_size(s_script_path, &size) && !choose_script()) {
      release_drawing_state();
      return 0;
    }
  }
  if (!load_script_file(s_script_path, offset, g_bound) || !init_dispatch()) {
    free_script();
    startup_box(msg_text(MSG_NO_MEMORY));
    release_drawing_state();
    return 0;
  }

  // 6-7. Labels; the script starts at the buffer's first byte.
  if (!prescan_labels()) {
    cleanup();
    return 0;
  }
  g_pos = g_script;
  reset_gosub_stack();

  // 8. Operating system.
  OSVERSIONINFOA os;
  memset(&os, 0, sizeof os);
  os.dwOSVersionInfoSize = sizeof os;
  if (GetVersionExA(&os)) g_win95 = LOWORD(os.dwBuildNumber) == 950;

  // 9-10. Window class and the off-screen main window.
  if (!prev) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, "Tarvo1");
    wc.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    wc.lpszMenuName = "MAIN1";
    wc.lpszClassName = "Tarvopro";
    if (!RegisterClassA(&wc)) {
      cleanup();
      return 0;
    }
  }
  g_mainwnd = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_TOPMOST,
                              "Tarvopro", g_title, WS_POPUP | WS_DLGFRAME | WS_CLIPCHILDREN,
                              -310, -110, 300, 100, nullptr, nullptr, inst, nullptr);
  if (!g_mainwnd) {
    cleanup();
    return 0;
  }

  // 11. A bound runtime names its About item after the runtime.
  if (g_bound) retitle_about_item();

  // 12. The 1 ms timer.
  if (!SetTimer(g_mainwnd, 1, 1, nullptr)) {
    startup_box(msg_text(MSG_NO_TIMER));
    abandon_window();
    return 0;
  }

  // 13. Show the window; the arrow is the current cursor.
  InitCommonControls();
  ShowWindow(g_mainwnd, show);
  UpdateWindow(g_mainwnd);
  g_cursor = LoadCursorA(nullptr, IDC_ARROW);
  SetCursor(g_cursor);
  ShowCursor(TRUE);

  // 14. The hook-listener window class and thread (keystroke sending).
  if (!start_hook_listener()) {
    abandon_window();
    return 0;
  }

  // 15. The DDE client (its result shows only as DDE commands that give 0).
  start_dde();

  // 16-17. Start the script and run the message loop.
  PostMessageA(g_mainwnd, START_MESSAGE, 0, 0);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The listener thread makes its window while the script runs; a script
  // that ends first waits for it here, since a process that ends while a
  // thread is still making its first window can be killed by Wine instead
  // of exiting with its code.
  wait_hook_listener();
  return (int)msg.wParam;
}
