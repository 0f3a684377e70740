// INI files: FILEREAD_INI and FILEWRITE_INI through the platform's profile
// functions. Empty section or key texts ask for lists of names when reading
// and delete when writing; a deleting write asks the user first.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include "core/variables.h"
#include <windows.h>
#include <string.h>

// Section and key names of more than INI_NAME_MAX bytes, and file names
// that no path can hold, never reach the profile functions (the platform's
// own code fails on them in ways a script cannot see): no file holds such a
// section or key, so reading gives the default text and writing fails.
static const uint32_t INI_NAME_MAX = 255;
static const uint32_t INI_VALUE_MAX = 65535;

static bool names_fit(uint32_t file_len, uint32_t section_len, uint32_t key_len) {
  return file_len < MAX_PATH && section_len <= INI_NAME_MAX && key_len <= INI_NAME_MAX;
}

// Argument words: file 0/1, section 2/3, key 4/5, value variable 6.
const ArgItem SYN_fileread_ini[] = {LP_, STR_, CM_, STR_, CM_, STR_, CM_, STRVAR_, RP_, END_};
bool cmd_fileread_ini() {
  char buf[256];
  DWORD count;
  if (names_fit(arg_len(1), arg_len(3), arg_len(5))) {
    count = GetPrivateProfileStringA(arg_len(3) ? arg_text(2) : nullptr, arg_len(5) ? arg_text(4) : nullptr,
                                     msg_text(MSG_INI_MISSING), buf, sizeof buf, arg_text(0));
  } else {
    lstrcpynA(buf, msg_text(MSG_INI_MISSING), sizeof buf);
    count = (DWORD)strlen(buf);
  }
  if (count == 0) {
    lstrcpynA(buf, msg_text(MSG_INI_EMPTY), sizeof buf);
    count = (DWORD)strlen(buf);
  }
  // A list of names comes NUL-separated: it becomes one text with blanks.
  if (count > sizeof buf - 1) count = sizeof buf - 1;
  for (DWORD i = 0; i + 1 < count; ++i)
    if (buf[i] == 0) buf[i] = ' ';
  buf[sizeof buf - 1] = 0;
  return set_string_value(arg_strvar(6), buf, (uint32_t)strlen(buf), MSG_INI_READ);
}

// Argument words: file 0/1, section 2/3, key 4/5, value 6/7, ok 8.
const ArgItem SYN_filewrite_ini[] = {LP_, STR_, CM_, STR_, CM_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_filewrite_ini() {
  NumVar* ok = arg_numvar(8);
  ok->value = 0;
  const char* key = arg_len(5) ? arg_text(4) : nullptr;
  const char* value = arg_len(7) ? arg_text(6) : nullptr;
  if ((!key || !value) &&
      MessageBoxA(g_mainwnd, msg_text(MSG_INI_DELETE_TEXT), msg_text(MSG_INI_DELETE_CAPTION),
                  MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
    return true;
  if (!names_fit(arg_len(1), arg_len(3), arg_len(5)) || arg_len(7) > INI_VALUE_MAX) return true;
  if (WritePrivateProfileStringA(arg_text(2), key, value, arg_text(0))) ok->value = 1;
  return true;
}
