#include "host/dialogs.h"
#include "core/runtime.h"

INT_PTR CALLBACK about_dialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, TRUE);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

void show_about_box() {
  DialogBoxParamA(g_inst, "ABOUTBOX", g_mainwnd, about_dialog_proc, 0);
}
