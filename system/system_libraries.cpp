#include "system/system_libraries.h"

FARPROC library_function(const char* library, const char* function) {
  HMODULE lib = GetModuleHandleA(library);
  if (!lib) lib = LoadLibraryA(library);
  return lib ? GetProcAddress(lib, function) : nullptr;
}

typedef BOOL(WINAPI* OpenFileCall)(OPENFILENAMEA*);
typedef BOOL(WINAPI* ChooseFontCall)(CHOOSEFONTA*);
typedef BOOL(WINAPI* PlaySoundCall)(LPCSTR, HMODULE, DWORD);

BOOL open_file_dialog(OPENFILENAMEA* ofn) {
  static OpenFileCall call = nullptr;
  if (!call) call = (OpenFileCall)(void*)library_function("COMDLG32.DLL", "GetOpenFileNameA");
  return call ? call(ofn) : FALSE;
}

BOOL choose_font_dialog(CHOOSEFONTA* cf) {
  static ChooseFontCall call = nullptr;
  if (!call) call = (ChooseFontCall)(void*)library_function("COMDLG32.DLL", "ChooseFontA");
  return call ? call(cf) : FALSE;
}

BOOL play_sound(const char* sound, DWORD flags) {
  static PlaySoundCall call = nullptr;
  if (!call) call = (PlaySoundCall)(void*)library_function("WINMM.DLL", "PlaySoundA");
  return call ? call(sound, nullptr, flags) : FALSE;
}
