// The runtime's own modal dialogs: the text and list boxes, the script's
// About box and the runtime's About box.
#pragma once
#include <windows.h>

// The runtime's About box ("ABOUTBOX"), modal to the main window; the About
// menu item shows it.
void show_about_box();
// Shared by the runtime's About box and ABOUTUSER's box.
INT_PTR CALLBACK about_dialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
