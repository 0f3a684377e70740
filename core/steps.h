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
  STEP_ARGS,      // a command: its arguments' sources (core/argument_steps.h)
  STEP_STR_ASSIGN,  // target$ = a [+ b]
};

// A numeric operand: a variable, or (var null) a literal's value.
struct NumOperand {
  NumVar* var;
  int32_t value;
};

// A text operand: a variable, or (var null) a literal.
struct StrSource {
  StrVar* var;
  const char* text;
  uint32_t len;
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
  // STEP_ARGS: sources first.. first + count - 1; STEP_STR_ASSIGN: count is
  // the number of texts. A step that names string variables holds while
  // g_str_generation is the generation it was made in (0: names none).
  uint32_t generation;
  uint32_t first;
  uint8_t count;
  bool resets_error;   // STEP_ARGS: reading a number or keyword clears the error slot
  StrVar* str_target;  // STEP_STR_ASSIGN
  StrSource sa, sb;
};

// The step that the statement running now describes; the loop clears its
// form before a statement and keeps it when the statement succeeded.
extern Step g_step;

// Copies g_step into the store: its number (from 1), or 0 when there is no
// room (the statement is then simply read again next time).
uint32_t keep_step();
const Step& step_number(uint32_t n);
void replace_step(uint32_t n);
void free_steps();

inline int32_t operand_value(const NumOperand& o) { return o.var ? o.var->value : o.value; }

// Running a step (the owners of the statements run their own).
// 1 done, 0 failed (error set);
int run_assign_step(const Step& s);    // core/variables.cpp
int run_if_step(const Step& s);        // core/conditionals.cpp
// -1 when the step no longer holds (a string variable was freed since):
// the statement is then read from its text.
int run_str_assign_step(const Step& s);  // core/variables.cpp
// Reads a numeric operand as read_num_operand does, telling which it was.
bool read_num_source(NumOperand* o);   // core/numbers.cpp
// Reads a text operand as read_str_operand does, telling which it was.
bool read_str_source(StrSource* s);    // core/argument_steps.cpp
