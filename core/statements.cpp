#include "core/statements.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/memory.h"
#include "core/name_cache.h"
#include "core/script.h"
#include "core/steps.h"
#include "core/argument_steps.h"
#include "core/variables.h"
#include <string.h>

bool g_script_running = false;
bool g_script_ended = false;

// ---- keyword dispatch
//
// The three tables are searched in turn by the language's rules: END, then
// the statements, then the commands, each by whole word without regard to
// case. Their names are distinct, so one hash index over all three finds the
// same row as the three binary searches. On top of it every statement start
// remembers what its word turned out to be: the text of a word never changes
// while the script runs, so a loop pays for the lookup once. A simple
// statement (a label definition, a numeric assignment, a numeric IF, a
// command whose only arguments are labels) also remembers the step it made
// (core/steps.h) and is run from it the next time.

enum : uint16_t {
  K_UNKNOWN = 0,   // not classified yet
  K_NONE = 1,      // no table knows the word: an assignment
  K_END = 2,
  K_STATEMENT = 3, // + statement index
  K_COMMAND = K_STATEMENT + 32,  // + command index
};

struct KeyEntry {
  const char* name;
  uint16_t kind;
  uint16_t length;
};
static KeyEntry s_keys[512];          // open addressing, power of two
static const uint32_t s_key_mask = 511;
// One entry per script byte: the kind in the low 9 bits (every kind is below
// K_COMMAND + 256), above them the number of the statement's step (0: none yet).
static uint32_t* s_cache = nullptr;
static const uint32_t KIND_MASK = 0x1FF, STEP_SHIFT = 9;
static uint8_t s_lengths[K_COMMAND + 256];  // keyword length by kind

static void add_key(const char* name, uint16_t kind) {
  uint32_t len = (uint32_t)strlen(name);
  uint32_t i = hash_name(name, len) & s_key_mask;
  while (s_keys[i].name) i = (i + 1) & s_key_mask;
  s_keys[i] = {name, kind, (uint16_t)len};
  s_lengths[kind] = (uint8_t)len;
}

static void build_key_index() {
  static bool built = false;
  if (built) return;
  built = true;
  add_key("END", K_END);
  for (int i = 0; i < g_statement_count; ++i) add_key(g_statements[i].name, (uint16_t)(K_STATEMENT + i));
  for (int i = 0; i < g_command_count; ++i) add_key(g_commands[i].name, (uint16_t)(K_COMMAND + i));
}

static uint16_t classify(const char* p) {
  uint32_t len = word_length(p);
  if (len == 0) return K_NONE;
  uint32_t i = hash_name(p, len) & s_key_mask;
  for (; s_keys[i].name; i = (i + 1) & s_key_mask) {
    if (s_keys[i].length == len && word_is(p, s_keys[i].name)) return s_keys[i].kind;
  }
  return K_NONE;
}

bool init_dispatch() {
  build_key_index();
  mem_free(s_cache);
  free_steps();
  s_cache = (uint32_t*)mem_alloc(sizeof(uint32_t) * ((size_t)g_script_len + 2));
  // Without the name cache names are looked up by hashing: slower, not wrong.
  init_name_cache();
  return s_cache != nullptr;
}

void free_dispatch() {
  mem_free(s_cache);
  s_cache = nullptr;
  free_steps();
  free_name_cache();
}

static inline uint16_t word_kind(const char* p) {
  if (!s_cache) return classify(p);
  uint32_t* slot = &s_cache[p - g_script];
  if ((*slot & KIND_MASK) == K_UNKNOWN) *slot |= classify(p);
  return (uint16_t)(*slot & KIND_MASK);
}

// Keeps the step the statement at start made, if it made one; a step that
// no longer held is made again in its place.
static inline void keep_step_at(const char* start) {
  if (g_step.form == STEP_NONE || !s_cache) return;
  uint32_t* entry = &s_cache[start - g_script];
  if (*entry >> STEP_SHIFT) {
    replace_step(*entry >> STEP_SHIFT);
    return;
  }
  uint32_t n = keep_step();
  if (n) *entry = (*entry & KIND_MASK) | n << STEP_SHIFT;
}

static uint8_t s_fixed[256];  // by command: 0 not known yet, 1 fixed arguments, 2 not

// A command whose descriptor holds nothing but brackets, commas and at most
// one label parses to the same arguments every time.
static bool fixed_arguments(const ArgItem* desc) {
  int labels = 0;
  for (;; ++desc) {
    int kind = (signed char)(desc->kind & 0xFF);
    if (kind < 0 || kind > 14 || kind == 11 || kind == A_END) return labels <= 1;
    if (kind == A_LABEL)
      ++labels;
    else if (kind != A_LPAREN && kind != A_RPAREN && kind != A_COMMA)
      return false;
  }
}

static inline uint32_t keyword_length(uint16_t kind) { return s_lengths[kind]; }

int lookup_statement() {
  build_key_index();
  uint16_t k = classify(g_pos);
  if (k >= K_STATEMENT && k < K_COMMAND) {
    g_pos += keyword_length(k);
    return k - K_STATEMENT;
  }
  set_error(MSG_SYNTAX);
  return -1;
}

int lookup_command() {
  build_key_index();
  uint16_t k = classify(g_pos);
  if (k >= K_COMMAND) {
    g_pos += keyword_length(k);
    return k - K_COMMAND;
  }
  set_error(MSG_SYNTAX);
  return -1;
}

// ---- the loop

LoopHooks g_loop_hooks = {nullptr, nullptr, nullptr, nullptr};
bool (*g_break_requested)() = nullptr;

static inline void call(void (*hook)()) {
  if (hook) hook();
}

void end_script() {
  g_script_ended = true;
  call(g_loop_hooks.destroy);
}

// Ctrl+Break is looked at before the first statement of every run and then
// after a fixed amount of work: plain statements count one unit, commands
// (which call the system and take longer) sixteen, and the check runs every
// 1024 units. The check itself (the host's, see host/window.cpp) reads the
// key only when the system's tick has moved on since it last did: asking for
// the key's state costs microseconds under Wine, reading the tick a few
// nanoseconds. A key that a person holds down stays down far longer than a
// tick, so it is seen just as when it is asked for before every statement.
static const uint32_t BREAK_CHECK_UNITS = 1024;
static const uint32_t COMMAND_UNITS = 16;
// Debug mode sets this to 1 and puts its own function in g_break_requested,
// which is then asked before every statement; the loop reads it once per
// run, so without debug mode it costs nothing per statement.
uint32_t g_break_check_units = BREAK_CHECK_UNITS;

// Runs a statement from its step, as the loop below would from its text:
// 1 done, 0 failed, -1 the step no longer holds (read the text instead).
static inline int run_step(const Step& s, char* start, uint32_t* units) {
  switch (s.form) {
    case STEP_LABEL:
      g_pos = s.next;
      return 1;
    case STEP_ASSIGN:
      return run_assign_step(s);
    case STEP_IF_THEN:
    case STEP_IF_BLOCK:
      return run_if_step(s);
    case STEP_STR_ASSIGN:
      return run_str_assign_step(s);
    case STEP_ARGS:
      if (!fill_arguments(s)) return -1;
      break;
    default:  // STEP_COMMAND
      g_args[0] = s.arg;
      break;
  }
  *units += COMMAND_UNITS - 1;
  g_pos = s.next;
  if (g_commands[s.command].handler()) return 1;
  g_error_pos = start;
  return 0;
}

void run_statements() {
  if (g_script_running || g_script_ended) return;
  g_script_running = true;
  call(g_loop_hooks.enter);
  bool normal = true;
  const uint32_t check_units = g_break_check_units;
  uint32_t units = check_units;  // the first statement checks
  for (;;) {
    // The window may have been destroyed from inside a statement's modal
    // loop (Ctrl+Break answered Yes while a box was open).
    if (g_script_ended) break;
    if (units >= check_units) {
      units = 0;
      if (g_break_requested && g_break_requested()) break;
    }
    ++units;
    if (!skip_blanks()) {
      normal = false;
      break;
    }
    char* start = g_pos;
    char c = *start;
    if (c == (char)CH_EOT) break;
    uint32_t entry = s_cache ? s_cache[start - g_script] : 0;
    if (entry >> STEP_SHIFT) {
      g_error_pos = start;
      int done = run_step(step_number(entry >> STEP_SHIFT), start, &units);
      if (done > 0) continue;
      if (done == 0) {
        normal = false;
        break;
      }
    }
    g_step.form = STEP_NONE;
    if (is_ident_start(c) && is_line_end(start[-1]) && step_over_label()) {
      g_step = Step{};
      g_step.form = STEP_LABEL;
      g_step.next = g_pos;
      keep_step_at(start);
      continue;
    }
    g_error_pos = start;
    uint16_t kind = word_kind(start);
    if (kind == K_END) break;
    if (kind >= K_COMMAND) {
      units += COMMAND_UNITS - 1;
      const Command& cmd = g_commands[kind - K_COMMAND];
      g_pos = start + s_lengths[kind];
      if (!parse_arguments(cmd.syntax)) {
        normal = false;
        break;
      }
      uint8_t& fixed = s_fixed[kind - K_COMMAND];
      if (!fixed) fixed = fixed_arguments(cmd.syntax) ? 1 : 2;
      if (fixed == 1) {
        g_step = Step{};
        g_step.form = STEP_COMMAND;
        g_step.command = (uint16_t)(kind - K_COMMAND);
        g_step.next = g_pos;
        g_step.arg = g_args[0];
      } else if (s_cache) {
        // A step made again keeps the place of its argument sources (the
        // same text has the same number of them).
        uint32_t old = entry >> STEP_SHIFT;
        g_step = Step{};
        g_step.form = STEP_ARGS;
        g_step.command = (uint16_t)(kind - K_COMMAND);
        g_step.next = g_pos;
        if (old) g_step.first = step_number(old).first;
        if (!describe_arguments(cmd.syntax, start + s_lengths[kind], &g_step, old != 0)) g_step.form = STEP_NONE;
      }
      if (!cmd.handler()) {
        g_error_pos = start;
        normal = false;
        break;
      }
      keep_step_at(start);
      continue;
    }
    if (kind >= K_STATEMENT) {
      const Statement& st = g_statements[kind - K_STATEMENT];
      g_pos = start + s_lengths[kind];
      if (!st.handler()) {
        normal = false;
        break;
      }
      if (st.handler == stmt_waitinput) {
        call(g_loop_hooks.leave);
        g_script_running = false;
        return;
      }
      keep_step_at(start);
      continue;
    }
    if (!stmt_assignment()) {
      normal = false;
      break;
    }
    keep_step_at(start);
  }
  bool destroyed = g_script_ended;
  if (!normal && !destroyed) report_error();
  call(g_loop_hooks.leave);
  g_script_running = false;
  if (destroyed)
    call(g_loop_hooks.cleanup);   // WM_DESTROY came while the loop ran and left this to us
  else
    end_script();
}
