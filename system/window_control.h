// Other applications' windows, named by their exact title.
#pragma once
#include <windows.h>
#include <stdint.h>

// The first top-level window whose whole title is the text; null when there
// is none. An empty title is never looked up.
HWND find_titled_window(const char* title, uint32_t length);
