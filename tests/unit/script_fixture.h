// Runs script text through the real statement loop without a window and
// captures what the error box would show.
#pragma once
#include <string>
#include "core/errors.h"
#include "core/labels.h"
#include "core/script.h"
#include "host/startup.h"
#include "core/statements.h"
#include "core/variables.h"
#include "core/memory.h"

struct ScriptResult {
  int msg = MSG_NONE;       // MSG_NONE when the script ended normally
  std::string line;         // the line the error box shows
  bool started = false;     // false when the label pre-scan refused the script
  bool injected = false;    // the allocation that fail_after named was made (and failed)
};

extern ScriptResult g_last;

void unload_script();
// Loads, pre-scans and runs the text until it ends, waits or fails.
// With fail_after k > 0, the k-th allocation of the run (after loading and
// the pre-scan) fails.
ScriptResult run_script(const std::string& text, int fail_after = 0);
// Value of a numeric / string variable of the last script ("" / 0 if absent).
int num(const char* name);
std::string str(const char* name);
bool has_str(const char* name);
