// The statement loop: the only driver of script execution.
#pragma once
#include <stdint.h>

// Runs statements from the script position until WAITINPUT, the end of the
// script or an error. Never re-entered: a call while the loop is running
// returns at once (the window procedure holds input for later instead).
void run_statements();

// What the loop asks of the program around it; the host installs these
// before main runs (host/window.cpp). Each may be null.
struct LoopHooks {
  void (*enter)();    // a run begins: WAITINPUT's time-out disarmed, a drawing scope opened
  void (*leave)();    // the run ends or waits for input: the drawing scope closed
  void (*destroy)();  // the script has ended: the main window goes
  void (*cleanup)();  // releases what start-up and the script made
};
extern LoopHooks g_loop_hooks;

// Asked before the first statement of every run and then after every fixed
// amount of work: true when the script is to end at once (Ctrl+Break held
// and the question answered Yes). Tests put in their own to cut endless
// scripts short.
extern bool (*g_break_requested)();
// Units of work between two calls of g_break_requested (1: every statement).
extern uint32_t g_break_check_units;

extern bool g_script_running;   // inside run_statements
extern bool g_script_ended;     // the script has ended; nothing runs again

// Prepares the keyword index and the per-position cache for a loaded script.
bool init_dispatch();
void free_dispatch();

// The script has ended: nothing runs again and the main window goes.
void end_script();
