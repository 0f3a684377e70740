// The script's menu bar: SETMENU builds it and binds its items, the matcher
// turns a menu command into a jump, and the item commands find items by text.
#pragma once
#include <windows.h>
#include <stdint.h>

// SETMENU statement.
bool stmt_setmenu();

// Menu command with the given id (1 .. 30000). True when the id belongs to an
// item with a label; the script position has then been moved to the label's
// definition. Otherwise the script position is left as it was.
bool match_menu(uint16_t id);
// The place of the SETMENU list in force, or null.
const char* menu_binding();

// A bound runtime shows its own wording for the About item of the start-up
// menu; called once the main window exists.
void retitle_about_item();

// Deletes a menu's items from the last to the first (their popups with them)
// and then the menu itself; stops at the first call that fails.
void destroy_menu(HMENU menu);
