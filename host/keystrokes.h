// The keystroke strings of SENDKEYS: one item at a time from the script
// position, which the caller points at the string.
#pragma once
#include <stdint.h>

enum KeyItemKind : int {
  KEY_END,    // the string is used up
  KEY_ALT,    // "%"
  KEY_CTRL,   // "^"
  KEY_SHIFT,  // "+"
  KEY_CHAR,   // a character: code is its byte value (0 .. 255)
  KEY_NAMED,  // a named key or "~": code is the virtual-key code
};

struct KeyItem {
  int kind;
  int code;
  int32_t count;  // how many times (braced items may say; 0 or less sends none)
  bool braced;    // a character written in braces ({+}, {x 3}): always sent directly
};

// Reads the item at the script position and moves past it; the string ends
// at end. On a malformed item the error slot holds "Invalid keystrokes
// argument." or "Invalid repetition count in keystrokes argument." and the
// result is false.
bool read_key_item(const char* end, KeyItem* item);

// Virtual-key code of a key name (case ignored), or -1.
int key_name_code(const char* name, uint32_t length);
