// keytarget: the program that the keystroke cases type into. A main window
// "Key Target" (or the title given) with a focused edit control and a menu
// with access keys; "&File" > "&Dialog..." opens a modal dialog "Key Dialog"
// with its own edit control. Every keyboard message that its windows
// receive is written, as it arrives, to the INI file named on the command
// line, section [log]: lines "1", "2", ... of entries separated by spaces,
// and "n", the number of lines.
//
//   keytarget.exe LOG.ini [TITLE]
//
// An entry is WINDOW:KIND CODE[/LPARAM]: WINDOW is M (main window), E (its
// edit), D (the dialog), d (the dialog's edit); KIND is kd ku ch (WM_KEYDOWN,
// WM_KEYUP, WM_CHAR) or skd sku sch (the WM_SYS forms), CODE the wParam in
// hex; /LPARAM follows only when lParam differs from what a single key
// gives (kd ch: 1, ku: C0000001, skd sch: 20000001, sku: E0000001). Menu
// commands are logged as M:cmdID, the dialog as D:open and D:end(ITS TEXT).
#include <windows.h>
#include <stdio.h>
#include <string.h>

enum { ID_DIALOG = 101, ID_EXIT = 102, ID_CLEAR = 201, ID_DIALOG_EDIT = 300 };

static char s_log_path[MAX_PATH];
static char s_line[256];
static int s_lines = 1;
static WNDPROC s_edit_proc, s_dialog_edit_proc;
static HWND s_main, s_edit;

static void log_entry(const char* entry) {
  if (strlen(s_line) + strlen(entry) + 2 > 200) {
    ++s_lines;
    s_line[0] = 0;
  }
  if (s_line[0]) strcat(s_line, " ");
  strcat(s_line, entry);
  char key[16];
  snprintf(key, sizeof key, "%d", s_lines);
  WritePrivateProfileStringA("log", key, s_line, s_log_path);
  snprintf(key, sizeof key, "%d", s_lines);
  WritePrivateProfileStringA("log", "n", key, s_log_path);
}

static void log_key(char window, UINT msg, WPARAM wp, LPARAM lp) {
  const char* kind;
  DWORD usual;
  switch (msg) {
    case WM_KEYDOWN: kind = "kd"; usual = 1; break;
    case WM_KEYUP: kind = "ku"; usual = 0xC0000001; break;
    case WM_CHAR: kind = "ch"; usual = 1; break;
    case WM_SYSKEYDOWN: kind = "skd"; usual = 0x20000001; break;
    case WM_SYSKEYUP: kind = "sku"; usual = 0xE0000001; break;
    case WM_SYSCHAR: kind = "sch"; usual = 0x20000001; break;
    case WM_DEADCHAR: kind = "dc"; usual = 1; break;
    case WM_SYSDEADCHAR: kind = "sdc"; usual = 0x20000001; break;
    default: return;
  }
  char e[64];
  if ((DWORD)lp == usual)
    snprintf(e, sizeof e, "%c:%s%X", window, kind, (unsigned)wp);
  else
    snprintf(e, sizeof e, "%c:%s%X/%X", window, kind, (unsigned)wp, (unsigned)(DWORD)lp);
  log_entry(e);
}

static LRESULT CALLBACK edit_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  log_key('E', msg, wp, lp);
  return CallWindowProcA(s_edit_proc, w, msg, wp, lp);
}

static LRESULT CALLBACK dialog_edit_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  log_key('d', msg, wp, lp);
  return CallWindowProcA(s_dialog_edit_proc, w, msg, wp, lp);
}

static INT_PTR CALLBACK dialog_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  log_key('D', msg, wp, lp);
  switch (msg) {
    case WM_INITDIALOG: {
      HWND e = GetDlgItem(w, ID_DIALOG_EDIT);
      s_dialog_edit_proc = (WNDPROC)SetWindowLongPtrA(e, GWLP_WNDPROC, (LONG_PTR)dialog_edit_proc);
      log_entry("D:open");
      return TRUE;  // the focus goes to the edit, the first control
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        char text[64], entry[80];
        GetDlgItemTextA(w, ID_DIALOG_EDIT, text, sizeof text);
        snprintf(entry, sizeof entry, "D:end(%s)", text);
        log_entry(entry);
        EndDialog(w, LOWORD(wp));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

// The dialog template, built in memory: caption, an edit, OK and Cancel.
static WORD* put_text(WORD* p, const char* s) {
  while ((*p++ = (WORD)(unsigned char)*s++)) {}
  return p;
}
static WORD* align(WORD* p) { return (WORD*)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3); }
static WORD* put_item(WORD* p, DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
                      const char* text) {
  p = align(p);
  DLGITEMTEMPLATE* it = (DLGITEMTEMPLATE*)p;
  it->style = style | WS_CHILD | WS_VISIBLE;
  it->dwExtendedStyle = 0;
  it->x = x; it->y = y; it->cx = cx; it->cy = cy; it->id = id;
  p = (WORD*)(it + 1);
  *p++ = 0xFFFF;
  *p++ = cls;
  p = put_text(p, text);
  *p++ = 0;
  return p;
}

static void open_dialog(HWND owner) {
  static DWORD buffer[512];
  memset(buffer, 0, sizeof buffer);
  DLGTEMPLATE* t = (DLGTEMPLATE*)buffer;
  t->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
  t->cdit = 3;
  t->x = 20; t->y = 20; t->cx = 160; t->cy = 70;
  WORD* p = (WORD*)(t + 1);
  *p++ = 0;  // menu
  *p++ = 0;  // class
  p = put_text(p, "Key Dialog");
  *p++ = 8;
  p = put_text(p, "MS Shell Dlg");
  p = put_item(p, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 10, 10, 140, 14, ID_DIALOG_EDIT, 0x0081, "");
  p = put_item(p, BS_DEFPUSHBUTTON | WS_TABSTOP, 30, 40, 50, 14, IDOK, 0x0080, "OK");
  put_item(p, BS_PUSHBUTTON | WS_TABSTOP, 90, 40, 50, 14, IDCANCEL, 0x0080, "Cancel");
  DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t, owner, dialog_proc, 0);
}

static LRESULT CALLBACK main_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  log_key('M', msg, wp, lp);
  switch (msg) {
    case WM_SETFOCUS:
      if (s_edit) SetFocus(s_edit);
      return 0;
    case WM_COMMAND: {
      if (lp) break;  // notifications of the edit
      char e[32];
      snprintf(e, sizeof e, "M:cmd%u", (unsigned)LOWORD(wp));
      log_entry(e);
      if (LOWORD(wp) == ID_DIALOG) open_dialog(w);
      if (LOWORD(wp) == ID_CLEAR) SetWindowTextA(s_edit, "");
      if (LOWORD(wp) == ID_EXIT) DestroyWindow(w);
      return 0;
    }
    case WM_DESTROY: {
      char text[256];
      GetWindowTextA(s_edit, text, sizeof text);
      WritePrivateProfileStringA("log", "text", text, s_log_path);
      PostQuitMessage(0);
      return 0;
    }
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show) {
  if (__argc < 2) return 1;
  GetFullPathNameA(__argv[1], sizeof s_log_path, s_log_path, nullptr);
  DeleteFileA(s_log_path);
  WritePrivateProfileStringA("log", "n", "0", s_log_path);
  const char* title = __argc > 2 ? __argv[2] : "Key Target";

  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = main_proc;
  wc.hInstance = inst;
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "KeyTarget";
  RegisterClassA(&wc);

  HMENU bar = CreateMenu(), file = CreatePopupMenu(), edit = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, ID_DIALOG, "&Dialog...");
  AppendMenuA(file, MF_STRING, ID_EXIT, "E&xit");
  AppendMenuA(edit, MF_STRING, ID_CLEAR, "&Clear");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)file, "&File");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)edit, "&Edit");

  s_main = CreateWindowExA(0, "KeyTarget", title, WS_OVERLAPPEDWINDOW, 100, 100, 400, 200, nullptr, bar, inst,
                           nullptr);
  if (!s_main) return 1;
  s_edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 360, 24,
                           s_main, (HMENU)1, inst, nullptr);
  s_edit_proc = (WNDPROC)SetWindowLongPtrA(s_edit, GWLP_WNDPROC, (LONG_PTR)edit_proc);
  ShowWindow(s_main, show);
  UpdateWindow(s_main);
  SetForegroundWindow(s_main);
  SetFocus(s_edit);
  MSG m;
  // No TranslateMessage: a posted key makes no WM_CHAR of its own here, so
  // the log holds just the messages that came from outside, in a fixed order
  // (a dialog's own loop still translates).
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  return 0;
}
