// The text of the binding statements and of WAITINPUT: how SETMOUSE and its
// kin, SETKEYBOARD, BUTTON, SETMENU and WAITINPUT read their arguments. The
// statements, the matchers that re-read a binding at an event, and the
// checker all read through these, so they agree on what a binding says.
#pragma once
#include <stdint.h>
#include "core/arguments.h"

struct Label;

// A mouse area, a button, a label alone.
extern const ArgItem g_mouse_group[];
extern const ArgItem g_button_group[];
extern const ArgItem g_label_only[];

// Each reads a whole statement's list from the script position (just after
// the keyword): "(" then ")" (*binding becomes null: the binding is
// cleared) or the entries and the closing ")". *binding is where the text
// of the binding starts, for the matchers.
bool read_mouse_list(char** binding);
bool read_keyboard_list(char** binding);
// each, when given, is called after every button's group has been read
// (the arguments are in the argument area); false stops the statement.
bool read_button_list(char** binding, bool (*each)(int index, char* binding));

// A SETKEYBOARD key: a text operand when one stands here, else a number.
bool read_key(bool* is_text, const char** text, uint32_t* len, int32_t* number);

// WAITINPUT up to its time: "(" then ")" (*forever) or the time operand.
// The caller checks the time and reads the closing ")".
bool read_wait_time(bool* forever, int32_t* ms);

// One item of a SETMENU list as the text spells it.
struct MenuItem {
  const char* text;   // caption, NUL-terminated
  Label* target;      // null for IGNORE
  bool separator;     // a separator line follows it in its popup
  bool end_popup;     // it closes the current popup
  bool last;          // ")" followed: the statement ends with it
};
// Reads one item at the script position:
//   text , target , [SEPARATOR ,] [ENDPOPUP followed by "," or ")"]
// The builder and the matcher both read items with this, so that they count
// them alike.
bool read_menu_item(MenuItem* it);
// Reads a SETMENU list up to its ")" without building anything: the items
// are read in the builder's order, up to the one that ends the statement.
bool read_menu_list();
