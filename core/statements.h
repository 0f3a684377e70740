// The statement loop: the only driver of script execution.
#pragma once
#include <stdint.h>

// Runs statements from the script position until WAITINPUT, the end of the
// script or an error. Never re-entered: a call while the loop is running
// returns at once (the window procedure holds input for later instead).
void run_statements();

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

// Hook for the end of the script (destroys the main window in the runtime).
void end_script();
