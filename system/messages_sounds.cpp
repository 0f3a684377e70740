// Sounds, the caption, message boxes, the file-open dialog and the
// display's capabilities.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/runtime.h"
#include "graphics/surface.h"
#include "system/system_libraries.h"
#include <windows.h>
#include <commdlg.h>
#include <string.h>

const ArgItem SYN_beep[] = {END_};
bool cmd_beep() {
  MessageBeep((UINT)-1);
  return true;
}

static const KeywordRow s_beep_sounds[] = {
  {"BEEP", -1}, {"ASTERISK", 0x40}, {"EXCLAMATION", 0x30}, {"HAND", 0x10},
  {"QUESTION", 0x20}, {"OK", 0}, {nullptr, 0}};
const ArgItem SYN_messagebeep[] = {LP_, KW_(s_beep_sounds), RP_, END_};
bool cmd_messagebeep() {
  MessageBeep((UINT)arg_num(0));
  return true;
}

static const KeywordRow s_sound_modes[] = {{"SYNC", 0x2000}, {"ASYNC", 0x2001}, {nullptr, 0}};
static const KeywordRow s_sound_kinds[] = {{"ALIAS", 0x10000}, {"FILENAME", 0x20000}, {nullptr, 0}};
const ArgItem SYN_playsound[] = {LP_, STR_, CM_, KW_(s_sound_modes), CM_, KW_(s_sound_kinds), CM_, NUMVAR_, RP_, END_};
bool cmd_playsound() {
  NumVar* ok = arg_numvar(4);
  ok->value = 0;
  ok->value = play_sound(arg_text(0), (DWORD)(arg_num(2) | arg_num(3))) ? 1 : 0;
  return true;
}

const ArgItem SYN_usecaption[] = {LP_, STR_, RP_, END_};
bool cmd_usecaption() {
  SetWindowTextA(g_mainwnd, arg_text(0));
  return true;
}

enum { BOX_OK = 0, BOX_OKCANCEL = 1, BOX_ABORTRETRYIGNORE = 2, BOX_YESNOCANCEL = 3, BOX_YESNO = 4, BOX_RETRYCANCEL = 5 };
static const KeywordRow s_box_buttons[] = {
  {"OK", BOX_OK}, {"OKCANCEL", BOX_OKCANCEL}, {"RETRYCANCEL", BOX_RETRYCANCEL},
  {"ABORTRETRYIGNORE", BOX_ABORTRETRYIGNORE}, {"YESNO", BOX_YESNO}, {"YESNOCANCEL", BOX_YESNOCANCEL},
  {nullptr, 0}};
static const KeywordRow s_box_icons[] = {
  {"INFORMATION", 0x40}, {"ASTERISK", 0x40}, {"EXCLAMATION", 0x30}, {"WARNING", 0x30},
  {"QUESTION", 0x20}, {"HAND", 0x10}, {"STOP", 0x10}, {"NOICON", 0}, {"ICON5", 0x50},
  {"ICON6", 0x60}, {"ICON7", 0x70}, {"USERICON", 0x80}, {nullptr, 0}};
// A text for a message box: the text itself, or a cut copy of an
// over-long one (the original may be a variable: it is not cut in place).
// Null when the copy cannot be had.
static const char* box_text(const char* text, uint32_t len, char** copy) {
  *copy = nullptr;
  if (len <= BOX_TEXT_MAX) return text;
  *copy = (char*)mem_alloc((size_t)BOX_TEXT_MAX + 1);
  if (*copy) memcpy(*copy, text, BOX_TEXT_MAX);
  return *copy;
}

const ArgItem SYN_messagebox[] = {LP_, KW_(s_box_buttons), CM_, NUM_, CM_, KW_(s_box_icons), CM_,
                                  STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_messagebox() {
  int32_t buttons = arg_num(0), deflt = arg_num(1);
  UINT style = (UINT)(buttons | arg_num(2));
  if (deflt == 2) style |= MB_DEFBUTTON2;
  if (deflt == 3) style |= MB_DEFBUTTON3;
  char *text_copy, *caption_copy = nullptr;
  const char* text = box_text(arg_text(3), arg_len(4), &text_copy);
  const char* caption = text ? box_text(arg_text(5), arg_len(6), &caption_copy) : nullptr;
  if (!text || !caption) {
    mem_free(text_copy);
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  int r = MessageBoxA(g_mainwnd, text, caption, style);
  mem_free(text_copy);
  mem_free(caption_copy);
  if (r == 0) {
    set_error_only(MSG_MESSAGEBOX_FAILED);
    return false;
  }
  int32_t pressed;
  switch (r) {
    case IDCANCEL: pressed = (buttons == BOX_OKCANCEL || buttons == BOX_RETRYCANCEL) ? 2 : 3; break;
    case IDRETRY: pressed = buttons == BOX_RETRYCANCEL ? 1 : 2; break;
    case IDIGNORE: pressed = 3; break;
    case IDNO: pressed = 2; break;
    default: pressed = 1; break;  // IDOK, IDABORT, IDYES and anything else
  }
  arg_numvar(7)->value = pressed;
  return true;
}

static const KeywordRow s_file_flags[] = {
  {"CHANGEDIR", 0}, {"NOCHANGEDIR", 8}, {"CHANGEDIRMULTI", 0x200}, {"NOCHANGEDIRMULTI", 0x208},
  {"CHANGEDIR_EXIST", 0x1800}, {"NOCHANGEDIR_EXIST", 0x1808},
  {"CHANGEDIRMULTI_EXIST", 0x1a00}, {"NOCHANGEDIRMULTI_EXIST", 0x1a08},
  {"CHANGEDIR_HLP", 0x10}, {"NOCHANGEDIR_HLP", 0x18},
  {"CHANGEDIRMULTI_HLP", 0x210}, {"NOCHANGEDIRMULTI_HLP", 0x218},
  {"CHANGEDIR_EXIST_HLP", 0x1810}, {"NOCHANGEDIR_EXIST_HLP", 0x1818},
  {"CHANGEDIRMULTI_EXIST_HLP", 0x1a10}, {"NOCHANGEDIRMULTI_EXIST_HLP", 0x1a18},
  {nullptr, 0}};
const ArgItem SYN_fileget[] = {LP_, STR_, CM_, STR_, CM_, STR_, CM_, STR_, CM_, KW_(s_file_flags), CM_,
                               STRVAR_, RP_, END_};
bool cmd_fileget() {
  const char* filter_text = arg_text(0);
  uint32_t filter_len = arg_len(1);
  if (filter_len > 0xFFFFFFF0u) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  char* filter = (char*)mem_alloc((size_t)filter_len + 2);
  if (!filter) {
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  memcpy(filter, filter_text, filter_len);
  uint32_t commas = 0;
  for (uint32_t i = 0; i < filter_len; ++i)
    if (filter[i] == ',') {
      filter[i] = 0;
      ++commas;
    }
  if (filter_len > 0 && (commas + 1) % 2 == 1) {
    mem_free(filter);
    set_error_only(MSG_FILTER_PAIRS);
    return false;
  }
  // Copy everything the dialog needs before it runs: the texts may live in
  // the result variable itself.
  char file[256];
  lstrcpynA(file, arg_text(2), sizeof file);
  const char* title = arg_len(7) ? arg_text(6) : msg_text(MSG_SELECT_FILE);
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = g_mainwnd;
  ofn.hInstance = g_inst;
  ofn.lpstrFilter = filter_len ? filter : nullptr;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = arg_text(4);
  ofn.lpstrTitle = title;
  ofn.Flags = (DWORD)arg_num(8) | OFN_HIDEREADONLY | OFN_LONGNAMES;
  StrVar* result = arg_strvar(9);
  bool ok;
  if (open_file_dialog(&ofn)) {
    file[sizeof file - 1] = 0;
    ok = set_string_value(result, file, (uint32_t)strlen(file), MSG_NO_MEMORY);
  } else {
    ok = set_string_value(result, "", 0, MSG_NO_MEMORY);
  }
  mem_free(filter);
  return ok;
}

static const KeywordRow s_caps[] = {
  {"HORZSIZE", 4}, {"VERTSIZE", 6}, {"HORZRES", 8}, {"VERTRES", 0xa}, {"DESKTOPHORZRES", 0x76},
  {"DESKTOPVERTRES", 0x75}, {"NUMCOLORS", 0x18}, {"BITSPIXEL", 0xc}, {"PLANES", 0xe},
  {"SIZEPALETTE", 0x68}, {"NUMRESERVED", 0x6a}, {"COLORRES", 0x6c}, {"NUMBRUSHES", 0x10},
  {"NUMPENS", 0x12}, {"NUMFONTS", 0x16}, {nullptr, 0}};
const ArgItem SYN_getscreencaps[] = {LP_, KW_(s_caps), CM_, NUMVAR_, RP_, END_};
bool cmd_getscreencaps() {
  arg_numvar(1)->value = GetDeviceCaps(g_draw.wdc, arg_num(0));
  return true;
}
