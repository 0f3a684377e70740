// Process-wide state of the runtime that several areas read.
#pragma once
#include <windows.h>
#include <stdint.h>

extern HINSTANCE g_inst;
extern HWND g_mainwnd;
extern char g_title[256];        // window title; caption of the runtime's own boxes
extern int g_win95;              // 1 on build 950
extern bool g_bound;             // true when the script is appended to the executable

// The script offset lives in initialised data behind a fixed marker so that
// the binder finds it in the executable file and patches it.
#define TARVO_BIND_MARKER "TarvoScriptOffset:v1:"
struct BindRecord {
  char marker[24];           // TARVO_BIND_MARKER, NUL-padded
  volatile uint32_t offset;  // 0 = normal runtime
};
extern BindRecord g_bind;
