// Programs and processes: the list of processes that RUNEXT started.
#pragma once

// Clean-up at the end of the program: closes the handles of every recorded
// process and forgets them (the processes keep running).
void release_processes();
