// Event bindings: each binding is the place of its statement in the script
// text; matchers re-read that text at the time of the event.
#pragma once
#include <stdint.h>

enum MouseBinding { BIND_LEFT, BIND_CTRL_LEFT, BIND_DOUBLE, BIND_RIGHT, BIND_SHIFT_RIGHT, BIND_MOUSE_KINDS };

// Each returns true when a binding covers the event; the script position has
// then been moved to the label's definition. On no match the script position
// is left as it was before the call.
bool match_mouse(int kind, int32_t x, int32_t y);
bool match_key(uint32_t vk);
bool match_char(unsigned char c);
bool match_button(uint16_t id);

// Matchers re-read a binding's text with the script position. enter_binding
// moves the position just behind the binding's "(" and returns what was
// there; no_match puts the position and the error slot back and gives false.
struct SavedPosition {
  char* pos;
  int error;
  char* error_pos;
};
SavedPosition enter_binding(char* binding);
bool no_match(const SavedPosition& saved);

// The bindings in force: the place of each statement's list, or null.
const char* mouse_binding(int kind);
const char* keyboard_binding();
const char* button_binding();

void destroy_buttons();   // clean-up
// Drops every mouse, keyboard and button binding (before another script is
// loaded into the same process, as the unit tests do).
void forget_bindings();

bool stmt_setmouse();
bool stmt_setctrlmouse();
bool stmt_setdblmouse();
bool stmt_setrightmouse();
bool stmt_setshftrightmouse();
bool stmt_setkeyboard();
bool stmt_button();
bool stmt_waitinput();
