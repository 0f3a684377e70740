// Start-up: where the script comes from, the script buffer, the main window.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "core/script.h"

int tarvo_main(HINSTANCE inst, HINSTANCE prev, LPSTR cmdline, int show);
// Releases what start-up and the script created.
void cleanup();
// Reads a script file (from the given offset, unscrambled when bound) into a
// new script buffer. Returns false on failure (nothing allocated).
bool load_script_file(const char* path, uint32_t offset, bool scrambled);
