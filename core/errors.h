// The runtime's message table, the error slot and the error report.
#pragma once
#include <stdint.h>

enum Msg : int {
  MSG_NONE = 0,
  // interpreter core
  MSG_SYNTAX,
  MSG_UNBALANCED_COMMENT,
  MSG_LABEL_NOT_FOUND,
  MSG_LABEL_MULTIDEFINED,
  MSG_RETURN_WITHOUT_GOSUB,
  MSG_NO_MEMORY,
  MSG_NO_MEMORY_REALLOC,
  MSG_NUMBER_RANGE,
  MSG_INVALID_NUMBER,
  MSG_FRACTIONAL,
  MSG_DIVIDE_BY_ZERO,
  MSG_OVERFLOW,
  MSG_UNDERFLOW,
  MSG_COLOUR_RANGE,
  MSG_NEGATIVE,
  MSG_ANSI_RANGE,
  MSG_START_ZERO,
  MSG_START_BEYOND,
  // other subsystems
  MSG_ABORT_SHUTDOWN,
  MSG_ADJUST_PRIVILEGES,
  MSG_SHUTDOWN_FAILED,
  MSG_NOT_BITMAP,
  MSG_BITMAP_LOAD,
  MSG_BITMAP_OPEN,
  MSG_BITMAP_READ,
  MSG_RLE_LOAD,
  MSG_CREATE_PALETTE,
  MSG_BITMAPDIM_CAPTION,
  MSG_REPLACE_CHANNEL,
  MSG_DEBUG_CAPTION,
  MSG_CLIPBOARD,
  MSG_DELIMITER,
  MSG_NO_HOOK_DLL,
  MSG_KEYSTROKES,
  MSG_KEY_REPEAT,
  MSG_MUTEX,
  MSG_FILTER_PAIRS,
  MSG_SELECT_FILE,
  MSG_MESSAGEBOX_FAILED,
  MSG_INI_READ,
  MSG_FONT_NAME,
  MSG_CAUSE_MEMORY,
  MSG_CAUSE_EXE,
  MSG_CAUSE_PATH,
  MSG_CAUSE_FORMAT,
  MSG_RUN_WARNING,
  MSG_RUN_UNEXPECTED,
  MSG_INI_MISSING,
  MSG_INI_EMPTY,
  MSG_INI_DELETE_TEXT,
  MSG_INI_DELETE_CAPTION,
  MSG_WIN95_CAPTION,
  MSG_WIN95_EXITWINDOWS,
  MSG_WIN95_SHUTDOWN,
  MSG_WIN95_ABORTSHUTDOWN,
  MSG_TARVO_CAPTION,
  // start-up and user interface
  MSG_CONFIRM_END,
  MSG_RUNTIME_TITLE,
  MSG_TITLE_PREFIX,
  MSG_APP_NAME,
  MSG_INFO_MENU,
  MSG_ABOUT_ITEM,
  MSG_ABOUT_RUNTIME_ITEM,
  MSG_ABOUT_RUNTIME,
  MSG_PRODUCT,
  MSG_OPEN_TITLE,
  MSG_SCRIPT_FILTER,
  MSG_CANNOT_READ_SCRIPT,
  MSG_NO_TIMER,
  // the implementer's own additions
  MSG_SWITCH,
  MSG_NO_ENDIF,
  MSG_COUNT
};

const char* msg_text(int msg);

// The error slot (a message, or MSG_NONE) and the position where it was found.
extern int g_error;
extern char* g_error_pos;

// Puts the message in the slot and the script position in the error position.
void set_error(int msg);
// Puts the message in the slot only; the statement loop supplies the position.
inline void set_error_only(int msg) { g_error = msg; }
void set_error_at(int msg, char* pos);

// Shows the error box: caption the message, text the script line at the error
// position (terminated literals shown with their quotes again).
void report_error();
// Message boxes show at most this many bytes of a text or caption: the
// system sizes a box's text with stack memory in proportion to its length,
// and a line of some 100,000 characters overflows the stack. 4095 bytes
// is also what another program reads back from a box.
const unsigned BOX_TEXT_MAX = 4095;

// When set, report_error hands the message and the line to this function
// instead of showing the box (unit tests).
extern void (*g_error_box_hook)(int msg, const char* line);

// The error box itself (the host's; the native tools report errors as text).
void show_error_box(int msg, const char* line);

// "Are you sure you want to end this Windows application?"; true on Yes.
bool confirm_end();
