// The statement table, sorted by keyword like the command table.
#include "core/commands.h"
#include "core/variables.h"

const Statement g_statements[] = {
  {"BUTTON", stmt_button},
  {"ELSE", stmt_else},
  {"ENDIF", stmt_endif},
  {"IF", stmt_if},
  {"SET", stmt_set},
  {"SETCTRLMOUSE", stmt_setctrlmouse},
  {"SETDBLMOUSE", stmt_setdblmouse},
  {"SETKEYBOARD", stmt_setkeyboard},
  {"SETMENU", stmt_setmenu},
  {"SETMOUSE", stmt_setmouse},
  {"SETRIGHTMOUSE", stmt_setrightmouse},
  {"SETSHFTRIGHTMOUSE", stmt_setshftrightmouse},
  {"SWITCH", stmt_switch},
  {"WAITINPUT", stmt_waitinput},
};
const int g_statement_count = sizeof(g_statements) / sizeof(g_statements[0]);
