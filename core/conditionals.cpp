// IF, ELSE, ENDIF and SWITCH.
#include "core/conditionals.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/script.h"

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

bool stmt_if() {
  bool numeric;
  if (!read_condition(&numeric)) return false;
  int truth = numeric ? compare_numbers((int)g_args[1], (int32_t)g_args[0], (int32_t)g_args[2])
                      : compare_texts((int)g_args[2], (const char*)g_args[0], (const char*)g_args[3]);
  char* after = g_pos;
  if (!skip_blanks()) return false;
  if (word_is(g_pos, "THEN")) {
    g_pos += 4;
    if (!truth)
      while (!is_line_end(*g_pos)) ++g_pos;
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
  return true;
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
