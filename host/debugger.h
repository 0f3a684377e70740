// Debug mode: the runtime under the control of a debug adapter (tarvo-dap).
//
// The mode starts only when the command line begins with
//   |tarvo-debug:PORT:TOKEN|
// ("|" cannot occur in a Windows path, so no script path is ever taken for
// it); the script path follows, optionally in quotes. The runtime then
// connects to 127.0.0.1:PORT, sends the token, and from there on takes
// commands from that channel: breakpoints, stepping, pause, questions about
// the line, the GOSUB stack, the variables and the bindings. A bound runtime
// never reads its command line, so it never enters debug mode.
//
// In debug mode the statement loop asks the debugger before every statement
// (through g_break_requested with a check interval of one); without it the
// loop is the same as ever.
#pragma once

// If the command line carries the debug switch: connects to the adapter and
// returns the script path that follows the switch. Returns the command line
// unchanged when there is no switch, and null when the switch is there but
// the adapter cannot be reached (the runtime then ends).
char* debug_switch(char* cmdline);

extern bool g_debugging;

// Channel lines (one a line, fields separated by TAB, text fields escaped
// with \\ \t \n \r and \xHH). Adapter to runtime:
//   run | entry | continue | next | stepin | stepout | pause | terminate
//   bpclear | bp LINE HITOP HITCOUNT CONDITION
//   stack SEQ | vars SEQ KIND(num|str|bind) | eval SEQ EXPRESSION
// Runtime to adapter:
//   hello TOKEN
//   stopped REASON LINE TEXT           (entry, breakpoint, step, pause, exception)
//   output CATEGORY TEXT
//   stack SEQ (LINE NAME)...           innermost frame first
//   vars SEQ KIND (NAME VALUE)...
//   eval SEQ OK(0|1) TEXT
