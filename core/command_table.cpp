// The command table, sorted by keyword in the order of the keyword
// comparison. A unit test holds it to that order.
#include "core/commands.h"

const Command g_commands[] = {
  {"ANSI", SYN_ansi, cmd_ansi},
  {"BEEP", SYN_beep, cmd_beep},
  {"CHR", SYN_chr, cmd_chr},
  {"FILEGET", SYN_fileget, cmd_fileget},
  {"FREEVAR", SYN_freevar, cmd_freevar},
  {"FREEVARALL", SYN_freevarall, cmd_freevarall},
  {"GETSCREENCAPS", SYN_getscreencaps, cmd_getscreencaps},
  {"GOSUB", SYN_gosub, cmd_gosub},
  {"GOTO", SYN_goto, cmd_goto},
  {"INSTR", SYN_instr, cmd_instr},
  {"LCASE", SYN_lcase, cmd_lcase},
  {"LEFT", SYN_left, cmd_left},
  {"LEN", SYN_len, cmd_len},
  {"MESSAGEBEEP", SYN_messagebeep, cmd_messagebeep},
  {"MESSAGEBOX", SYN_messagebox, cmd_messagebox},
  {"PAD", SYN_pad, cmd_pad},
  {"PLAYSOUND", SYN_playsound, cmd_playsound},
  {"RETURN", SYN_return, cmd_return},
  {"RIGHT", SYN_right, cmd_right},
  {"SETWAITMODE", SYN_setwaitmode, cmd_setwaitmode},
  {"SETWINDOW", SYN_setwindow, cmd_setwindow},
  {"SPACE", SYN_space, cmd_space},
  {"STR", SYN_str, cmd_str},
  {"STRCMP", SYN_strcmp, cmd_strcmp},
  {"STRCMPI", SYN_strcmpi, cmd_strcmpi},
  {"SUBSTR", SYN_substr, cmd_substr},
  {"TRIM", SYN_trim, cmd_trim},
  {"UCASE", SYN_ucase, cmd_ucase},
  {"USECAPTION", SYN_usecaption, cmd_usecaption},
  {"VAL", SYN_val, cmd_val},
};
const int g_command_count = sizeof(g_commands) / sizeof(g_commands[0]);
