// The keyword tables of the statement loop: END, the statements that parse
// their own text, and the commands with their syntax descriptors.
#pragma once
#include "core/arguments.h"

typedef bool (*Handler)();

struct Statement {
  const char* name;
  Handler handler;
};

struct Command {
  const char* name;
  const ArgItem* syntax;
  Handler handler;
};

extern const Statement g_statements[];
extern const int g_statement_count;
extern const Command g_commands[];
extern const int g_command_count;

// Binary search of a sorted table for the word at the script position; the
// index with the position moved past the word, or -1 ("Syntax error.").
int lookup_statement();
int lookup_command();

// Descriptor and handler of every command, by area.
#define COMMAND(name) extern const ArgItem SYN_##name[]; bool cmd_##name();
// core/variables.cpp
COMMAND(freevar) COMMAND(freevarall)
// core/labels.cpp
COMMAND(goto) COMMAND(gosub) COMMAND(return)
// core/strings.cpp
COMMAND(ansi) COMMAND(chr) COMMAND(instr) COMMAND(lcase) COMMAND(left) COMMAND(len)
COMMAND(pad) COMMAND(right) COMMAND(space) COMMAND(str) COMMAND(strcmp) COMMAND(strcmpi)
COMMAND(substr) COMMAND(trim) COMMAND(ucase) COMMAND(val)
// system/files_directories.cpp (FILERENAME shares FILEMOVE's)
COMMAND(dirchange) COMMAND(dirget) COMMAND(dirmake) COMMAND(dirremove) COMMAND(diskchange)
COMMAND(filecopy) COMMAND(filedelete) COMMAND(fileexist) COMMAND(filemove)
// system/programs.cpp
COMMAND(getcmdline) COMMAND(run) COMMAND(runext) COMMAND(setpriority) COMMAND(winversion)
// system/window_control.cpp
COMMAND(enumwindows) COMMAND(winclose) COMMAND(winexist) COMMAND(wingetactive) COMMAND(winlocate)
COMMAND(winsetactive) COMMAND(winshow) COMMAND(wintitle)
// system/ini_files.cpp
COMMAND(fileread_ini) COMMAND(filewrite_ini)
// system/file_information.cpp
COMMAND(dirgetsystem) COMMAND(dirgetwindows) COMMAND(fileextension) COMMAND(filegetdate)
COMMAND(filegetdateext) COMMAND(filegetsize) COMMAND(filegettime) COMMAND(filegettimeext)
COMMAND(filename) COMMAND(filepath) COMMAND(getdiskspace) COMMAND(getvolumetype)
// system/clipboard_dde.cpp
COMMAND(clipboardappend) COMMAND(clipboardempty) COMMAND(clipboardget) COMMAND(clipboardput)
COMMAND(ddeexecute) COMMAND(ddeinitiate) COMMAND(ddepoke) COMMAND(dderequest) COMMAND(ddeterminate)
// system/session.cpp
COMMAND(abortshutdown) COMMAND(exitwindows) COMMAND(logoff) COMMAND(shutdown)
// system/messages_sounds.cpp
COMMAND(beep) COMMAND(fileget) COMMAND(getscreencaps) COMMAND(messagebeep) COMMAND(messagebox)
COMMAND(playsound) COMMAND(usecaption)
// graphics/bitmap_files.cpp, graphics/bitmaps.cpp
COMMAND(drawbitmap) COMMAND(drawbitmapext) COMMAND(drawicon) COMMAND(drawsizedbitmap)
COMMAND(drawsizedbitmapext) COMMAND(freebitmap) COMMAND(freebitmapall) COMMAND(getbitmapdim)
COMMAND(replacechannel) COMMAND(usecursor)
// host/window.cpp
COMMAND(setwaitmode) COMMAND(setwindow)
// host/menus.cpp
COMMAND(changemenuitem) COMMAND(getmenustatus) COMMAND(infomenu)
// host/dialogs.cpp
COMMAND(abouttarvo) COMMAND(aboutuser) COMMAND(dropfileserver) COMMAND(listbox) COMMAND(textbox)
// host/sendkeys.cpp
COMMAND(sendkeys) COMMAND(setsendkeyspriority)
// graphics/surface.cpp
COMMAND(setcolorpalette) COMMAND(setropcode) COMMAND(usecoordinates) COMMAND(wingetclientrect)
COMMAND(wingetlocation) COMMAND(wininvalidaterect) COMMAND(winvalidaterect)
// graphics/tools.cpp
COMMAND(choosefont) COMMAND(usebackground) COMMAND(usebrush) COMMAND(usefont) COMMAND(usefontext)
COMMAND(usepen)
// graphics/shapes.cpp
COMMAND(drawarc) COMMAND(drawbackground) COMMAND(drawchord) COMMAND(drawedgerectangle)
COMMAND(drawellipse) COMMAND(drawflood) COMMAND(drawfloodext) COMMAND(drawline) COMMAND(drawpie)
COMMAND(drawrectangle) COMMAND(drawroundrectangle) COMMAND(getpixel) COMMAND(invertrectangle)
// graphics/text.cpp
COMMAND(drawnumber) COMMAND(drawstatustext) COMMAND(drawtext) COMMAND(drawtextext)
#undef COMMAND

// Statement handlers.
bool stmt_if();
void reset_block_if();  // forgets the positions of the last block IF
bool stmt_else();
bool stmt_endif();
bool stmt_switch();
bool stmt_set();
// host/bindings.cpp, host/menus.cpp
bool stmt_button();
bool stmt_setctrlmouse();
bool stmt_setdblmouse();
bool stmt_setkeyboard();
bool stmt_setmenu();
bool stmt_setmouse();
bool stmt_setrightmouse();
bool stmt_setshftrightmouse();
bool stmt_waitinput();
