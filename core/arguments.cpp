#include "core/arguments.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/numbers.h"
#include "core/script.h"

intptr_t g_args[20];
void (*g_scale_point)(int32_t* x, int32_t* y) = nullptr;

bool read_str_operand(const char** text, uint32_t* len) {
  if (*g_pos == '"') return scan_literal(text, len);
  StrVar* v = find_or_create_strvar();
  if (!v) return false;
  *text = v->text;
  *len = str_len(v);
  return true;
}

bool read_keyword(const KeywordRow* table, int32_t* value) {
  for (const KeywordRow* row = table; row->name; ++row) {
    if (word_is(g_pos, row->name)) {
      g_pos += word_length(g_pos);
      *value = row->value;
      return true;
    }
  }
  set_error(MSG_SYNTAX);
  return false;
}

static bool read_colour_component(intptr_t* word) {
  char* start = g_pos;
  int32_t v;
  if (!read_num_operand(&v)) return false;
  if (v > 255) {
    set_error_at(MSG_COLOUR_RANGE, start);
    return false;
  }
  *word = v;
  return true;
}

static bool comma_between() {
  return skip_blanks() && expect_char(',') && skip_blanks();
}

bool parse_arguments(const ArgItem* desc) {
  intptr_t* out = g_args;
  char* last_text = g_pos;  // where the latest text operand started
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
      case A_NUM: {
        int32_t v;
        g_error = MSG_NONE;
        if (!read_num_operand(&v)) return false;
        *out++ = v;
        break;
      }
      case A_POINT: {
        int32_t x, y;
        if (!read_num_operand(&x) || !comma_between() || !read_num_operand(&y)) return false;
        if (g_scale_point) g_scale_point(&x, &y);
        *out++ = x;
        *out++ = y;
        break;
      }
      case A_COLOUR:
        if (!read_colour_component(out) || !comma_between() ||
            !read_colour_component(out + 1) || !comma_between() ||
            !read_colour_component(out + 2))
          return false;
        out += 3;
        break;
      case A_STR: {
        const char* text;
        uint32_t len;
        last_text = g_pos;
        if (!read_str_operand(&text, &len)) return false;
        *out++ = (intptr_t)text;
        *out++ = (intptr_t)len;
        break;
      }
      case A_NUMVAR: {
        NumVar* v = find_or_create_numvar();
        if (!v) return false;
        *out++ = (intptr_t)v;
        break;
      }
      case A_STRVAR: {
        StrVar* v = find_or_create_strvar();
        if (!v) return false;
        *out++ = (intptr_t)v;
        break;
      }
      case A_LABEL: {
        Label* l = find_label();
        if (!l) {
          set_error(MSG_LABEL_NOT_FOUND);
          return false;
        }
        g_pos += word_length(g_pos);
        *out++ = (intptr_t)l;
        break;
      }
      case A_NUMRELOP:
      case A_STRRELOP: {
        int op;
        if (!read_relop(&op)) {
          // A bad text operator is reported at the text operand before it.
          if (kind == A_STRRELOP) g_error_pos = last_text;
          return false;
        }
        *out++ = op;
        break;
      }
      case A_KEYWORD: {
        int32_t v;
        g_error = MSG_NONE;
        if (!read_keyword(desc->table, &v)) return false;
        *out++ = v;
        break;
      }
    }
  }
}
