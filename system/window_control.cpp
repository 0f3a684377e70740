// Window control: WINEXIST, WINSETACTIVE, WINLOCATE, WINTITLE, WINCLOSE,
// WINSHOW, WINGETACTIVE and ENUMWINDOWS. Windows are found by their whole
// title at the moment a command runs; they belong to other processes and
// may vanish at any time, so every action's own result decides the status.
#include "system/window_control.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/variables.h"
#include "graphics/surface.h"
#include <string.h>

HWND find_titled_window(const char* title, uint32_t length) {
  return length ? FindWindowA(nullptr, title) : nullptr;
}

// Commands with a result variable set it to 0 first; a window that is not
// found leaves it 0 and the command succeeds.
static HWND target(NumVar* result) {
  result->value = 0;
  return find_titled_window(arg_text(0), arg_len(1));
}

const ArgItem SYN_winexist[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_winexist() {
  NumVar* found = arg_numvar(2);
  if (target(found)) found->value = 1;
  return true;
}

const ArgItem SYN_winsetactive[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_winsetactive() {
  NumVar* ok = arg_numvar(2);
  HWND w = target(ok);
  if (w && SetForegroundWindow(w)) ok->value = 1;
  return true;
}

const ArgItem SYN_winlocate[] = {LP_, STR_, CM_, POINT_, CM_, POINT_, CM_, NUMVAR_, RP_, END_};
bool cmd_winlocate() {
  NumVar* ok = arg_numvar(6);
  HWND w = target(ok);
  int32_t left = arg_coord(2), top = arg_coord(3);
  if (w && SetWindowPos(w, nullptr, left, top, gdi_coord(arg_coord(4) - left), gdi_coord(arg_coord(5) - top),
                        SWP_NOZORDER | SWP_FRAMECHANGED))
    ok->value = 1;
  return true;
}

const ArgItem SYN_wintitle[] = {LP_, STR_, CM_, STR_, RP_, END_};
bool cmd_wintitle() {
  HWND w = find_titled_window(arg_text(0), arg_len(1));
  if (w) SetWindowTextA(w, arg_text(2));
  return true;
}

// WM_DESTROY, not WM_CLOSE: the window's owner gets no chance to ask.
const ArgItem SYN_winclose[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_winclose() {
  NumVar* ok = arg_numvar(2);
  HWND w = target(ok);
  if (w && PostMessageA(w, WM_DESTROY, 0, 0)) ok->value = 1;
  return true;
}

static const KeywordRow s_show_commands[] = {
    {"HIDE", 0},        {"NORMAL", 1},          {"MINIMIZE", 2},  {"MAXIMIZE", 3},     {"SHOWNOACTIVATE", 4},
    {"UNHIDE", 5},      {"SHOW", 5},            {"SHOWMINNOACTIVE", 7}, {"TOPMOST", 8}, {"RESTORE", 9},
    {"NOTOPMOST", 0xa}, {"TOP", 0xb},           {"BOTTOM", 0xc},  {"NOMOVE", 2},       {"NOSIZE", 1},
    {"NOMOVEORSIZE", 0x40}, {nullptr, 0}};
const ArgItem SYN_winshow[] = {LP_, STR_, CM_, KW_(s_show_commands), CM_, NUMVAR_, RP_, END_};
bool cmd_winshow() {
  NumVar* ok = arg_numvar(3);
  HWND w = target(ok);
  if (!w) return true;
  int32_t how = (int32_t)arg_num(2);
  if ((how >= 0 && how <= 7) || how == 9) {
    // ShowWindow tells whether the window was visible before.
    if (ShowWindow(w, how) || how == SW_SHOW) ok->value = 1;
    return true;
  }
  HWND after = how == 0xa ? HWND_NOTOPMOST : how == 0xb ? HWND_TOP : how == 0xc ? HWND_BOTTOM : HWND_TOPMOST;
  if (SetWindowPos(w, after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW)) ok->value = 1;
  return true;
}

const ArgItem SYN_wingetactive[] = {LP_, STRVAR_, RP_, END_};
bool cmd_wingetactive() {
  HWND w = GetForegroundWindow();
  int length = w ? GetWindowTextLengthA(w) + 1 : 1;
  if (length < 2) return set_string_value(arg_strvar(0), "", 0, MSG_NO_MEMORY);
  char* title = (char*)mem_alloc((size_t)length);
  if (!title) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  int got = GetWindowTextA(w, title, length);
  if (got < 0) got = 0;
  bool ok = set_string_value(arg_strvar(0), title, (uint32_t)got, MSG_NO_MEMORY);
  mem_free(title);
  return ok;
}

// ---- ENUMWINDOWS: the titles are gathered in a block of our own and handed
// to the variable at the end.

struct TitleList {
  char* text;
  uint32_t length;
  char delimiter;
  bool visible_only;
  bool failed;
};

static BOOL CALLBACK add_title(HWND w, LPARAM param) {
  TitleList* list = (TitleList*)param;
  if (list->visible_only && !IsWindowVisible(w)) return TRUE;
  char title[256];
  int n = GetWindowTextA(w, title, sizeof title);
  if (n <= 0) return TRUE;
  uint32_t grown = list->length + (uint32_t)n + (list->length ? 1 : 0);
  char* text = (char*)mem_realloc(list->text, (size_t)grown + 1);
  if (!text) {
    list->failed = true;
    return FALSE;
  }
  if (list->length) text[list->length++] = list->delimiter;
  memcpy(text + list->length, title, (size_t)n);
  list->length = grown;
  text[grown] = 0;
  list->text = text;
  return TRUE;
}

static const KeywordRow s_which_windows[] = {{"VISIBLE", 0}, {"ALL", 1}, {nullptr, 0}};
const ArgItem SYN_enumwindows[] = {LP_, STRVAR_, CM_, KW_(s_which_windows), CM_, STR_, RP_, END_};
bool cmd_enumwindows() {
  if (arg_len(3) == 0) {
    set_error_only(MSG_DELIMITER);
    return false;
  }
  TitleList list = {nullptr, 0, arg_text(2)[0], arg_num(1) == 0, false};
  StrVar* result = arg_strvar(0);
  if (!set_string_value(result, "", 0, MSG_NO_MEMORY)) return false;
  EnumWindows(add_title, (LPARAM)&list);
  bool ok = set_string_value(result, list.text ? list.text : "", list.length, MSG_NO_MEMORY);
  mem_free(list.text);
  if (ok && list.failed) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  return ok;
}
