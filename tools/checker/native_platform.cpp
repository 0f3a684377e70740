// What the language core asks of the platform, for the native tools: they
// parse scripts but never show a box, compare texts for a running script or
// run a statement of the host (window, bindings, menus).
#include "core/commands.h"
#include "core/errors.h"
#include "core/numbers.h"
#include <string.h>

// The checker takes every error through the error box hook; nothing is shown.
void show_error_box(int, const char*) {}
bool confirm_end() { return false; }

int collate_texts(const char* left, const char* right) { return strcmp(left, right); }

// The statement table names the host's statements; the checker reads them
// with host/binding_syntax.cpp instead of running them.
bool stmt_button() { return false; }
bool stmt_setctrlmouse() { return false; }
bool stmt_setdblmouse() { return false; }
bool stmt_setkeyboard() { return false; }
bool stmt_setmenu() { return false; }
bool stmt_setmouse() { return false; }
bool stmt_setrightmouse() { return false; }
bool stmt_setshftrightmouse() { return false; }
bool stmt_waitinput() { return false; }
