/* Posts a character to the runtime's main window, as another program might
   while the script is stopped in the debugger: debugger_postkey.exe CHAR */
#include <windows.h>

int main(int argc, char** argv) {
  HWND w = FindWindowA("Tarvopro", NULL);
  if (!w || argc < 2) return 1;
  return PostMessageA(w, WM_CHAR, (WPARAM)(unsigned char)argv[1][0], 0) ? 0 : 1;
}
