// Describing a command's arguments once and filling the argument area from
// that description afterwards.
#include "core/argument_steps.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/labels.h"
#include "core/name_cache.h"
#include "core/numbers.h"
#include "core/script.h"
#include "core/steps.h"
#include "core/arguments.h"

enum : uint8_t {
  SRC_NUM,     // a number
  SRC_X,       // the coordinates of a Point (converted in METRIC mode)
  SRC_Y,
  SRC_COLOUR,  // one component of a Colour (over 255 is an error)
  SRC_STR,     // a text: two words
  SRC_WORD,    // a variable, label, operator or keyword: one fixed word
};

struct ArgSource {
  uint8_t kind;     // SRC_*
  bool is_var;      // numbers and texts: a variable, not a literal
  uint32_t len;     // a literal text's length
  union {
    NumVar* num;
    StrVar* str;
    const char* text;
    intptr_t word;  // a number literal, a label, an operator, a keyword value
  };
};

// What describe() collects, before it goes into the store.
struct Description {
  uint32_t generation;
  uint8_t count;
  bool resets_error;
  ArgSource src[16];
};
typedef Description ArgStep;

static ArgSource* s_sources = nullptr;
static uint32_t s_used = 0, s_capacity = 0;

void free_argument_sources() {
  mem_free(s_sources);
  s_sources = nullptr;
  s_used = s_capacity = 0;
}

bool read_str_source(StrSource* s) {
  if (*g_pos == '"') {
    s->var = nullptr;
    return scan_literal(&s->text, &s->len);
  }
  s->var = find_or_create_strvar();
  if (!s->var) return false;
  s->text = s->var->text;
  s->len = str_len(s->var);
  return true;
}

static bool add(ArgStep* step, uint8_t kind, bool is_var, intptr_t word, uint32_t len = 0) {
  if (step->count >= sizeof step->src / sizeof step->src[0]) return false;
  ArgSource& s = step->src[step->count++];
  s.kind = kind;
  s.is_var = is_var;
  s.word = word;
  s.len = len;
  return true;
}

static bool add_number(ArgStep* step, uint8_t kind) {
  NumOperand o;
  if (!read_num_source(&o)) return false;
  return o.var ? add(step, kind, true, (intptr_t)o.var) : add(step, kind, false, o.value);
}

static bool comma_between() { return skip_blanks() && expect_char(',') && skip_blanks(); }

static bool describe(const ArgItem* desc, ArgStep* step) {
  for (;; ++desc) {
    int kind = (signed char)(desc->kind & 0xFF);
    if (kind < 0 || kind > 14 || kind == 11 || kind == A_END) return true;
    if (!skip_blanks()) return false;
    switch (kind) {
      case A_LPAREN:
        if (!expect_char('(')) return false;
        break;
      case A_RPAREN:
        if (!expect_char(')')) return false;
        break;
      case A_COMMA:
        if (!expect_char(',')) return false;
        break;
      case A_NUM:
        step->resets_error = true;
        if (!add_number(step, SRC_NUM)) return false;
        break;
      case A_POINT:
        if (!add_number(step, SRC_X) || !comma_between() || !add_number(step, SRC_Y)) return false;
        break;
      case A_COLOUR:
        if (!add_number(step, SRC_COLOUR) || !comma_between() || !add_number(step, SRC_COLOUR) ||
            !comma_between() || !add_number(step, SRC_COLOUR))
          return false;
        break;
      case A_STR: {
        StrSource s;
        if (!read_str_source(&s)) return false;
        if (s.var) {
          step->generation = g_str_generation;
          if (!add(step, SRC_STR, true, (intptr_t)s.var)) return false;
        } else if (!add(step, SRC_STR, false, (intptr_t)s.text, s.len)) {
          return false;
        }
        break;
      }
      case A_NUMVAR: {
        NumVar* v = find_or_create_numvar();
        if (!v || !add(step, SRC_WORD, false, (intptr_t)v)) return false;
        break;
      }
      case A_STRVAR: {
        StrVar* v = find_or_create_strvar();
        step->generation = g_str_generation;
        if (!v || !add(step, SRC_WORD, false, (intptr_t)v)) return false;
        break;
      }
      case A_LABEL: {
        Label* l = find_label();
        if (!l) return false;
        g_pos += word_length(g_pos);
        if (!add(step, SRC_WORD, false, (intptr_t)l)) return false;
        break;
      }
      case A_NUMRELOP:
      case A_STRRELOP: {
        int op;
        if (!read_relop(&op) || !add(step, SRC_WORD, false, op)) return false;
        break;
      }
      case A_KEYWORD: {
        int32_t v;
        step->resets_error = true;
        if (!read_keyword(desc->table, &v) || !add(step, SRC_WORD, false, v)) return false;
        break;
      }
    }
  }
}

bool describe_arguments(const ArgItem* desc, char* start, Step* out, bool in_place) {
  char* pos = g_pos;
  int error = g_error;
  char* error_pos = g_error_pos;
  g_pos = start;
  Description d;
  d.generation = 0;
  d.count = 0;
  d.resets_error = false;
  bool ok = describe(desc, &d) && g_pos == pos;
  g_pos = pos;
  g_error = error;
  g_error_pos = error_pos;
  if (!ok) return false;
  if (in_place) {
    for (uint32_t i = 0; i < d.count; ++i) s_sources[out->first + i] = d.src[i];
    out->generation = d.generation;
    out->count = d.count;
    out->resets_error = d.resets_error;
    return true;
  }
  if (s_used + d.count > s_capacity) {
    uint32_t n = s_capacity ? s_capacity * 2 : 256;
    if (n > (1u << 26)) return false;
    ArgSource* grown = (ArgSource*)mem_realloc(s_sources, sizeof(ArgSource) * n);
    if (!grown) return false;
    s_sources = grown;
    s_capacity = n;
  }
  for (uint32_t i = 0; i < d.count; ++i) s_sources[s_used + i] = d.src[i];
  out->generation = d.generation;
  out->first = s_used;
  out->count = d.count;
  out->resets_error = d.resets_error;
  s_used += d.count;
  return true;
}

static inline int32_t number(const ArgSource& s) { return s.is_var ? s.num->value : (int32_t)s.word; }

bool fill_arguments(const Step& step) {
  if (step.generation && step.generation != g_str_generation) return false;
  intptr_t* out = g_args;
  const ArgSource* src = s_sources + step.first;
  for (uint32_t i = 0; i < step.count; ++i) {
    const ArgSource& s = src[i];
    switch (s.kind) {
      case SRC_NUM:
        *out++ = number(s);
        break;
      case SRC_X:
        *out++ = number(s);
        break;
      case SRC_Y: {
        // A point is scaled as a pair, as the argument parser does.
        int32_t x = (int32_t)out[-1], y = number(s);
        if (g_scale_point) g_scale_point(&x, &y);
        out[-1] = x;
        *out++ = y;
        break;
      }
      case SRC_COLOUR:
        if (number(s) > 255) return false;
        *out++ = number(s);
        break;
      case SRC_STR:
        if (s.is_var) {
          *out++ = (intptr_t)s.str->text;
          *out++ = (intptr_t)str_len(s.str);
        } else {
          *out++ = s.word;
          *out++ = (intptr_t)s.len;
        }
        break;
      default:  // SRC_WORD
        *out++ = s.word;
        break;
    }
  }
  if (step.resets_error) g_error = MSG_NONE;
  return true;
}
