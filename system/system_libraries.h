// System libraries that only some scripts use are loaded when first needed,
// so that a script that never opens a dialog or plays a sound does not pay
// for loading them (and what they load in turn) at start-up.
#pragma once
#include <windows.h>
#include <commdlg.h>

// Each behaves as the system call of the same name; when the library or the
// function cannot be had, the dialog reads as cancelled and the sound as not
// played.
BOOL open_file_dialog(OPENFILENAMEA* ofn);
BOOL choose_font_dialog(CHOOSEFONTA* cf);
BOOL play_sound(const char* sound, DWORD flags);

// A function of a system library by name or by ordinal (MAKEINTRESOURCEA),
// loading the library on first use; null when either is missing. The library
// stays loaded until the process ends.
FARPROC library_function(const char* library, const char* function);
