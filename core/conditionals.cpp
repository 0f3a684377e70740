// IF, ELSE, ENDIF and SWITCH.
#include "core/conditionals.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/script.h"
#include "core/steps.h"

// Positions found by the most recent block IF; null until one has run.
static char* s_endif_pos = nullptr;
static char* s_else_pos = nullptr;

void reset_block_if() {
  s_endif_pos = nullptr;
  s_else_pos = nullptr;
}

static const ArgItem s_num_condition[] = {NUM_, NUMREL_, NUM_, END_};
static const ArgItem s_str_condition[] = {STR_, STRREL_, STR_, END_};

bool read_condition(bool* numeric) {
  char* start = g_pos;
  *numeric = parse_arguments(s_num_condition);
  if (*numeric) return true;
  g_pos = start;
  return parse_arguments(s_str_condition);
}

bool scan_block(char* from, char** else_pos, char** endif_pos) {
  *else_pos = nullptr;
  *endif_pos = nullptr;
  for (char* p = from;; ++p) {
    char c = *p;
    if (c == (char)CH_EOT) return false;
    if (c != 'E') continue;
    if (word_is(p, "ELSE")) {
      *else_pos = p;
    } else if (word_is(p, "ENDIF")) {
      *endif_pos = p;
      return true;
    }
  }
}

// After a numeric condition has been read from start: the step that runs
// it again, with the operands read anew from the text (they are found as
// before, and no error can come of it).
static void describe_if(char* start, uint8_t form, char* next, char* other, char* endif) {
  char* pos = g_pos;
  g_pos = start;
  NumOperand a, b;
  int op;
  if (skip_blanks() && read_num_source(&a) && skip_blanks() && read_relop(&op) && skip_blanks() &&
      read_num_source(&b)) {
    g_step = Step{};
    g_step.form = form;
    g_step.op = (uint8_t)op;
    g_step.a = a;
    g_step.b = b;
    g_step.next = next;
    g_step.other = other;
    g_step.endif = endif;
  }
  g_pos = pos;
}

bool stmt_if() {
  char* start = g_pos;
  bool numeric;
  if (!read_condition(&numeric)) return false;
  int truth = numeric ? compare_numbers((int)g_args[1], (int32_t)g_args[0], (int32_t)g_args[2])
                      : compare_texts((int)g_args[2], (const char*)g_args[0], (const char*)g_args[3]);
  char* after = g_pos;
  if (!skip_blanks()) return false;
  if (word_is(g_pos, "THEN")) {
    g_pos += 4;
    char* on = g_pos;
    char* end = g_pos;
    if (!truth || numeric)
      while (!is_line_end(*end)) ++end;
    if (!truth) g_pos = end;
    if (numeric) describe_if(start, STEP_IF_THEN, on, end, nullptr);
    return true;
  }
  // Block form.
  if (!scan_block(after, &s_else_pos, &s_endif_pos)) {
    set_error_only(MSG_NO_ENDIF);  // shown at the IF keyword
    return false;
  }
  if (truth)
    g_pos = after;
  else
    g_pos = s_else_pos ? s_else_pos + 4 : s_endif_pos;
  if (numeric) describe_if(start, STEP_IF_BLOCK, after, s_else_pos, s_endif_pos);
  return true;
}

int run_if_step(const Step& s) {
  g_error = MSG_NONE;  // as reading the condition's numbers does
  int truth = compare_numbers(s.op, operand_value(s.a), operand_value(s.b));
  if (s.form == STEP_IF_THEN) {
    g_pos = truth ? s.next : s.other;
    return 1;
  }
  s_else_pos = s.other;
  s_endif_pos = s.endif;
  g_pos = truth ? s.next : (s.other ? s.other + 4 : s.endif);
  return 1;
}

// ELSE or ENDIF before any block IF has no target: a syntax error at the word.
bool stmt_else() {
  if (!s_endif_pos) {
    set_error_only(MSG_SYNTAX);
    return false;
  }
  g_pos = s_endif_pos;
  return true;
}

bool stmt_endif() {
  if (!s_endif_pos) {
    set_error_only(MSG_SYNTAX);
    return false;
  }
  g_pos = s_endif_pos + 5;
  return true;
}

// SWITCH is a reserved statement that always stops the script.
bool stmt_switch() {
  set_error_only(MSG_SWITCH);
  return false;
}
