// Labels (registered by a pre-scan at start-up) and the GOSUB stack.
#pragma once
#include <stdint.h>

struct Label {
  const char* name;   // first character of the definition
  Label* next;        // text order
  Label* hnext;       // hash chain
};

// Walks the whole buffer: terminates literals, skips comments, registers
// labels. Reports its error itself and returns false.
bool prescan_labels();
// The label named by the word at the script position, or null.
Label* find_label();
// If a label definition starts at the script position, moves past its ":".
bool step_over_label();
void reset_gosub_stack();
void free_labels();
uint32_t gosub_depth();
// Return position of a GOSUB frame, innermost (0) outwards; null beyond.
const char* gosub_return(uint32_t i);

bool cmd_goto();
bool cmd_gosub();
bool cmd_return();
