// The message table, the error slot and the error report; the box itself is
// shown by the host (host/error_box.cpp).
#include "core/errors.h"
#include "core/script.h"
#include <stddef.h>

static const char* const s_messages[MSG_COUNT] = {
  "",
  "Syntax error.",
  "Unbalanced comment markers.",
  "Label not found.",
  "Label is multidefined.",
  "RETURN without GOSUB.",
  "Not enough memory.",
  "Not enough memory to reallocate string.",
  "Number is too large or too small.",
  "Invalid number.",
  "Fractional number.",
  "Divide by zero.",
  "Numeric overflow.",
  "Numeric underflow.",
  "Color value greater than 255.",
  "Number cannot be negative in this command.",
  "ANSI code must be from 0 to 255.",
  "Starting location must be greater than 0.",
  "Starting location greater than string length.",
  "AbortShutdown failed.",
  "AdjustTokenPrivileges enable failed.",
  "System shutdown failed.",
  "Not a legitimate BitMap file.",
  "Unable to load bitmap file.",
  "Unable to open bitmap file.",
  "Cannot read the bitmap file.",
  "Could not load RLE file.",
  "CreatePalette() failed.",
  "WARNING: GetBitMapDim unexpected condition.",
  "Replace channel DC called.",
  "DEBUG",
  "Cannot access Clipboard\nAnother application has prevented access.",
  "Delimiter must be a valid character.",
  "Cannot locate the Tarvomsg.dll file.",
  "Invalid keystrokes argument.",
  "Invalid repetition count in keystrokes argument.",
  "Unable to create mutex.",
  "Filter must contain pairs of filter elements.",
  "Select a file",
  "MessageBox process failed: unsupported Button code.",
  "Unable to read the specified .INI file.",
  "Unable to return selected Font name.",
  "Reported Cause: Out of Memory or Resources.",
  "Reported Cause: EXE File not found.",
  "Reported Cause: PATH not found.",
  "Reported Cause: Bad EXE format.",
  "WARNING: Unable to run specified program.",
  "Unexpected runtime error",
  "No section or key of that name!",
  "No String",
  "System instability may occur if you are\raccessing system INI files. Press OK to\rcontinue, or Cancel to abort the write \roperation to the INI file.",
  "WARNING: INI file data is about to be deleted.",
  "Tarvo 4.0 and Windows 95",
  "ExitWindows command is supported in Windows NT only !",
  "Shutdown command is supported in Windows NT only!",
  "AbortShutdown command is supported in Windows NT only!",
  "Tarvo 4.0",
  "Are you sure you want to end this Windows application?",
  "Tarvopro Runtime",
  "Tarvopro - ",
  "Tarvopro",
  "&Info",
  "&About Tarvo...",
  "&About Tarvo Runtime...",
  "About Tarvo Runtime...",
  "Tarvo 4.0 for Windows NT Runtime",
  "Select an Tarvo 4.0 script file to run",
  "Script Files(*.TRV)",
  "Cannot read the TRV script file.",
  "Timer not available.\nClose some applications and restart.",
  "SWITCH is not supported.",
  "IF without ENDIF.",
};

const char* msg_text(int msg) {
  if (msg <= MSG_NONE || msg >= MSG_COUNT) return "";
  return s_messages[msg];
}

void (*g_error_box_hook)(int msg, const char* line) = nullptr;
int g_error = MSG_NONE;
char* g_error_pos = nullptr;

void set_error(int msg) {
  g_error = msg;
  g_error_pos = g_pos;
}

void set_error_at(int msg, char* pos) {
  g_error = msg;
  g_error_pos = pos;
}

void report_error() {
  char* p = g_error_pos;
  const char* line = "";
  if (p && g_script && p >= g_script && p <= g_script + g_script_len + 1) {
    if (*p == 0) *p = '"';
    if (is_line_end(*p)) {
      *p = 0;
    } else {
      char* q = p;
      while (!is_line_end(*q)) {
        if (*q == 0) *q = '"';
        ++q;
      }
      *q = 0;
      char* s = p;
      while (s > g_script && !is_line_end(s[-1])) {
        --s;
        if (*s == 0) *s = '"';
      }
      if (q - s > (ptrdiff_t)BOX_TEXT_MAX) s[BOX_TEXT_MAX] = 0;  // the script ends: the buffer may be cut
      line = s;
    }
  }
  if (g_error_box_hook)
    g_error_box_hook(g_error, line);
  else
    show_error_box(g_error, line);
}
