// One run of the runtime under the driver: start it, follow what it shows,
// carry out the steps, and collect the transcript.
#pragma once
#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

#include "casefile.h"

struct Button {
  HWND h;
  int id;
  std::string text;
  RECT r;
};

// A message box or dialog (class "#32770") of the runtime's process.
struct Box {
  HWND h;
  bool dialog;          // not a message box: a dialog of the runtime or a common dialog
  std::string caption;
  std::string text;     // message boxes: the message
  std::vector<Button> buttons;   // visible push buttons, top to bottom, left to right
  bool claimed;         // a step holds it open
  int answers;
};

struct Session {
  // Set by the caller.
  std::string exe;          // the runtime
  std::string cmdline;      // command line tail
  std::string script;       // path of the script file ($SCRIPT)
  std::string workdir;      // current directory of the runtime
  int timeout_ms;
  bool echo;                // print transcript lines as they are made
  std::string png_path;     // picture of the client area at the end ("" = none)
  int idle_exit_ms;         // > 0: once the steps are done and the runtime has waited
                            // for input this long, close it
  std::vector<std::string> answers;   // buttons for the boxes that no step deals with,
                                      // in the order in which the boxes come
  int stuck_ms;             // > 0: a step that waits for what cannot come while the
                            // runtime answers messages fails after this long
  // Result.
  std::vector<std::string> lines;
  bool killed;
  // Working state.
  PROCESS_INFORMATION pi;
  HANDLE job;
  HWND main;
  bool dialog_window;       // some #32770 window exists, visible or not
  std::vector<Box> boxes;
  std::vector<WORD> held;
  int idle_syncs;
  DWORD last_sync, idle_since;
  size_t next_answer;
  DWORD stuck_since;        // the current step has been stuck since then (0: it is not)
  DWORD last_check;         // last WM_NULL that confirmed the runtime still waits
  std::vector<uint8_t> shot;
  int shot_w, shot_h;
  DWORD last_shot;
};

void session_init(Session& s);
// Runs the runtime with the steps; false if it could not be started (the
// reason is the last transcript line).
bool session_run(Session& s, const std::vector<Step>& steps);

// Paths given in Unix form (absolute) become Z: paths; "/" becomes "\".
std::string win_path(const std::string& p);
