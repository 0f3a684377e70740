#include "host/dialogs.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/runtime.h"
#include "core/variables.h"
#include "host/window.h"
#include "resources/resource_ids.h"
#include <string.h>

// Runs a dialog resource modal to the main window. A WAITINPUT time-out must
// not resume the script while the dialog is up, so it is held off meanwhile.
static INT_PTR run_dialog(const char* name, DLGPROC proc) {
  uint32_t armed = g_timeout.armed;
  g_timeout.armed = 0;
  INT_PTR result = DialogBoxParamA(g_inst, name, g_mainwnd, proc, 0);
  g_timeout.armed = armed;
  return result;
}

// Copies a control's text into a string variable. False when memory fails;
// the variable then keeps its text.
static bool store_text(StrVar* var, HWND control, UINT len_msg, UINT get_msg, WPARAM index) {
  LRESULT len = SendMessageA(control, len_msg, index, 0);
  if (len < 0) len = 0;
  char* buffer = (char*)mem_alloc((size_t)len + 1);
  if (!buffer) return false;
  LRESULT got = get_msg == WM_GETTEXT ? SendMessageA(control, WM_GETTEXT, (WPARAM)len + 1, (LPARAM)buffer)
                                      : SendMessageA(control, get_msg, index, (LPARAM)buffer);
  if (got < 0 || got > len) got = 0;
  bool ok = set_string_value(var, buffer, (uint32_t)got, MSG_NO_MEMORY);
  mem_free(buffer);
  return ok;
}

// ---- TEXTBOX

struct TextRequest {
  const char* prompt;
  const char* caption;
  StrVar* text;
  NumVar* result;
};
static TextRequest s_text;

static INT_PTR CALLBACK text_box_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowTextA(dlg, s_text.caption);
      SendDlgItemMessageA(dlg, IDC_TEXT_PROMPT, WM_SETTEXT, 0, (LPARAM)s_text.prompt);
      SendDlgItemMessageA(dlg, IDC_TEXT_EDIT, WM_SETTEXT, 0, (LPARAM)s_text.text->text);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        s_text.result->value = 1;
        HWND edit = GetDlgItem(dlg, IDC_TEXT_EDIT);
        EndDialog(dlg, store_text(s_text.text, edit, WM_GETTEXTLENGTH, WM_GETTEXT, 0) ? 0 : 1);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        s_text.result->value = 2;
        EndDialog(dlg, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

const ArgItem SYN_textbox[] = {LP_, STR_, CM_, STR_, CM_, STRVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_textbox() {
  s_text.prompt = arg_text(0);
  s_text.caption = arg_text(2);
  s_text.text = arg_strvar(4);
  s_text.result = arg_numvar(5);
  s_text.result->value = 0;
  if (run_dialog(RES_DLG_TEXT, text_box_proc) != 0) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  return true;
}

// ---- LISTBOX

struct ListRequest {
  const char* caption;
  const char* list;
  uint32_t list_len;
  char delimiter;
  StrVar* selection;
};
static ListRequest s_list;

// Fills the list with the pieces between delimiters, empty pieces included;
// the list box sorts them. The script's text is not touched.
static bool fill_list(HWND box) {
  char* copy = (char*)mem_alloc((size_t)s_list.list_len + 1);
  if (!copy) return false;
  memcpy(copy, s_list.list, s_list.list_len);
  char* piece = copy;
  for (uint32_t i = 0; i <= s_list.list_len; ++i) {
    if (i == s_list.list_len || copy[i] == s_list.delimiter) {
      copy[i] = 0;
      SendMessageA(box, LB_ADDSTRING, 0, (LPARAM)piece);
      piece = copy + i + 1;
    }
  }
  mem_free(copy);
  return true;
}

static INT_PTR CALLBACK list_box_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowTextA(dlg, s_list.caption);
      if (!fill_list(GetDlgItem(dlg, IDC_LIST))) EndDialog(dlg, 1);
      return TRUE;
    case WM_COMMAND: {
      WORD id = LOWORD(wp);
      if (id == IDOK || (id == IDC_LIST && HIWORD(wp) == LBN_DBLCLK)) {
        HWND box = GetDlgItem(dlg, IDC_LIST);
        LRESULT sel = SendMessageA(box, LB_GETCURSEL, 0, 0);
        if (sel == LB_ERR) return TRUE;  // nothing chosen yet: stay open
        EndDialog(dlg, store_text(s_list.selection, box, LB_GETTEXTLEN, LB_GETTEXT, (WPARAM)sel) ? 0 : 1);
        return TRUE;
      }
      if (id == IDCANCEL) {
        // No result variable: a cancelled choice reads as an empty one.
        EndDialog(dlg, set_string_value(s_list.selection, "", 0, MSG_NO_MEMORY) ? 0 : 1);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

const ArgItem SYN_listbox[] = {LP_, STR_, CM_, STR_, CM_, STR_, CM_, STRVAR_, RP_, END_};
bool cmd_listbox() {
  const char* delimiter = arg_text(4);
  if (delimiter[0] == 0) {
    set_error_only(MSG_DELIMITER);
    return false;
  }
  s_list.caption = arg_text(0);
  s_list.list = arg_text(2);
  s_list.list_len = arg_len(3);
  s_list.delimiter = delimiter[0];
  s_list.selection = arg_strvar(6);
  if (run_dialog(RES_DLG_LIST, list_box_proc) != 0) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  return true;
}

// ---- About boxes

// Set only while ABOUTUSER shows its box, with the script's three texts.
static int s_user_about = 0;
static const char* s_user_texts[3];

INT_PTR CALLBACK about_dialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      if (g_bound) SetWindowTextA(dlg, msg_text(MSG_ABOUT_RUNTIME));
      if (s_user_about) {
        SetWindowTextA(dlg, s_user_texts[0]);
        SetDlgItemTextA(dlg, IDC_USER_HEADING, s_user_texts[1]);
        SetDlgItemTextA(dlg, IDC_USER_BODY, s_user_texts[2]);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

void show_about_box() {
  // A posted About command can arrive while ABOUTUSER's box is open.
  int user = s_user_about;
  s_user_about = 0;
  run_dialog(RES_DLG_ABOUT, about_dialog_proc);
  s_user_about = user;
}

const ArgItem SYN_abouttarvo[] = {END_};
bool cmd_abouttarvo() {
  show_about_box();
  return true;
}

const ArgItem SYN_aboutuser[] = {LP_, STR_, CM_, STR_, CM_, STR_, RP_, END_};
bool cmd_aboutuser() {
  s_user_texts[0] = arg_text(0);
  s_user_texts[1] = arg_text(2);
  s_user_texts[2] = arg_text(4);
  s_user_about = 1;
  run_dialog(RES_DLG_USERABOUT, about_dialog_proc);
  s_user_about = 0;
  return true;
}

// ---- DROPFILESERVER

static const KeywordRow s_dropfile_words[] = {{"ENABLE", 0}, {"DISABLE", 1}, {nullptr, 0}};
const ArgItem SYN_dropfileserver[] = {LP_, KW_(s_dropfile_words), CM_, STR_, RP_, END_};
bool cmd_dropfileserver() {
  if (arg_num(0) == 0 && arg_len(2) == 0)
    MessageBoxA(g_mainwnd, "No files selected.", "DropFile Server", MB_ICONEXCLAMATION);
  return true;
}
