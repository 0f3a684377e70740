// Programs and processes: the list of processes that RUNEXT started.
#pragma once

// Clean-up at the end of the program: closes the handles of every recorded
// process and forgets them (the processes keep running).
void release_processes();

// The command line that GETCMDLINE hands to the script; null means the
// process's own. Debug mode sets it to the line without its switch.
extern const char* g_shown_cmdline;
