// Steps: what a simple statement at a script position turned out to be the
// first time it ran (the variables and label it names, its operator, where it
// ends), so that the statement loop runs it again without reading its text.
// The text of a script never changes while it runs, numeric variables and
// labels live as long as the script, so a step stays true to its text.
#pragma once
#include <stdint.h>
#include "core/variables.h"

enum StepForm : uint8_t {
  STEP_NONE = 0,
  STEP_LABEL,     // a label definition: on after its ":"
  STEP_ASSIGN,    // target = a, or target = a op b (numeric)
  STEP_IF_THEN,   // IF a rel b THEN: on after THEN, or to the line end
  STEP_IF_BLOCK,  // IF a rel b without THEN: on, to after ELSE, or to ENDIF
  STEP_COMMAND,   // a command whose arguments are all fixed text (labels)
};

// A numeric operand: a variable, or (var null) a literal's value.
struct NumOperand {
  NumVar* var;
  int32_t value;
};

struct Step {
  uint8_t form;
  uint8_t op;        // STEP_ASSIGN: '+', '-', '*', '/' or 0; IF: the relation
  uint16_t command;  // STEP_COMMAND: row of the command table
  NumOperand a, b;
  NumVar* target;    // STEP_ASSIGN
  char* next;        // where the statement ends (IF: after THEN, or the condition)
  char* other;       // STEP_IF_THEN: the line end; STEP_IF_BLOCK: the ELSE, or null
  char* endif;       // STEP_IF_BLOCK: the ENDIF
  intptr_t arg;      // STEP_COMMAND: its one argument word (a label), if any
};

// The step that the statement running now describes; the loop clears its
// form before a statement and keeps it when the statement succeeded.
extern Step g_step;

// Copies g_step into the store: its number (from 1), or 0 when there is no
// room (the statement is then simply read again next time).
uint32_t keep_step();
const Step& step_number(uint32_t n);
void free_steps();

inline int32_t operand_value(const NumOperand& o) { return o.var ? o.var->value : o.value; }

// Running a step (the owners of the statements run their own).
bool run_assign_step(const Step& s);   // core/variables.cpp
bool run_if_step(const Step& s);       // core/conditionals.cpp
// Reads a numeric operand as read_num_operand does, telling which it was.
bool read_num_source(NumOperand* o);   // core/numbers.cpp
