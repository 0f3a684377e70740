// The main window procedure: the one place where the interpreter is entered.
#pragma once
#include <windows.h>
#include <stdint.h>

#define START_MESSAGE (WM_USER + 50)
#define ABOUT_COMMAND 55555
#define FIRST_BUTTON_ID 30001

struct InputTimeout {
  uint32_t armed;
  uint32_t start;
  uint32_t duration;
};
extern InputTimeout g_timeout;
extern HCURSOR g_cursor;

inline void disarm_input_timeout() { g_timeout.armed = 0; }

LRESULT CALLBACK main_window_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
