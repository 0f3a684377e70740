// The runtime's own dialogs.
#pragma once
#include <windows.h>

// The runtime's About box ("ABOUTBOX"), modal to the main window.
void show_about_box();
INT_PTR CALLBACK about_dialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
