// The boxes of the statement loop: the error box and the question that ends
// a script on Ctrl+Break.
#include "core/errors.h"
#include "core/runtime.h"

void show_error_box(int msg, const char* line) {
  MessageBoxA(g_mainwnd, line, msg_text(msg), MB_ICONHAND);
}

bool confirm_end() {
  return MessageBoxA(g_mainwnd, msg_text(MSG_CONFIRM_END), g_title,
                     MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}
