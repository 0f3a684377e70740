// Reading the binding statements' text. No window is touched here: the
// native checker builds this file too.
#include "host/binding_syntax.h"
#include "core/errors.h"
#include "core/labels.h"
#include "core/numbers.h"
#include "core/script.h"

const ArgItem g_mouse_group[] = {POINT_, CM_, POINT_, CM_, LABEL_, CM_, NUMVAR_, CM_, NUMVAR_, END_};
const ArgItem g_button_group[] = {POINT_, CM_, POINT_, CM_, STR_, CM_, LABEL_, END_};
const ArgItem g_label_only[] = {LABEL_, END_};

// "(" then either ")" (binding cleared) or the groups.
static bool open_list(char** binding, bool* empty) {
  *binding = g_pos;
  *empty = false;
  if (!skip_blanks() || !expect_char('(') || !skip_blanks()) return false;
  if (*g_pos == ')') {
    ++g_pos;
    *binding = nullptr;
    *empty = true;
  }
  return true;
}

bool read_mouse_list(char** binding) {
  bool empty;
  if (!open_list(binding, &empty)) return false;
  if (empty) return true;
  for (;;) {
    if (!parse_arguments(g_mouse_group) || !skip_blanks()) return false;
    if (*g_pos != ',') return expect_char(')');
    ++g_pos;
  }
}

bool read_key(bool* is_text, const char** text, uint32_t* len, int32_t* number) {
  const char* p = g_pos;
  if (*p == '"' || (is_ident_start(*p) && p[word_length(p)] == '$')) {
    *is_text = true;
    return read_str_operand(text, len);
  }
  *is_text = false;
  return read_num_operand(number);
}

bool read_keyboard_list(char** binding) {
  bool empty;
  if (!open_list(binding, &empty)) return false;
  if (empty) return true;
  for (;;) {
    bool is_text;
    const char* text;
    uint32_t len;
    int32_t number;
    if (!skip_blanks() || !read_key(&is_text, &text, &len, &number)) return false;
    if (!skip_blanks() || !expect_char(',') || !skip_blanks()) return false;
    if (!parse_arguments(g_label_only) || !skip_blanks()) return false;
    if (*g_pos == ',') {
      ++g_pos;
    } else if (*g_pos == ')') {
      ++g_pos;
      return true;
    }
    // Otherwise the next entry follows without a comma.
  }
}

bool read_button_list(char** binding, bool (*each)(int index, char* binding)) {
  char* start = g_pos;
  *binding = start;
  if (!skip_blanks() || !expect_char('(')) return false;
  if (*g_pos == ')') {
    ++g_pos;
    *binding = nullptr;
    return true;
  }
  for (int i = 0;; ++i) {
    if (!skip_blanks() || !parse_arguments(g_button_group)) return false;
    if (each && !each(i, start)) return false;
    if (!skip_blanks()) return false;
    if (*g_pos != ',') return expect_char(')');
    ++g_pos;
  }
}

bool read_wait_time(bool* forever, int32_t* ms) {
  *forever = false;
  if (!skip_blanks() || !expect_char('(')) return false;
  if (!skip_blanks()) return false;
  if (*g_pos == ')') {
    ++g_pos;
    *forever = true;
    return true;
  }
  return read_num_operand(ms);
}

bool read_menu_item(MenuItem* it) {
  it->target = nullptr;
  it->separator = it->end_popup = it->last = false;
  uint32_t len;
  if (!skip_blanks() || !read_str_operand(&it->text, &len)) return false;
  if (!skip_blanks() || !expect_char(',') || !skip_blanks()) return false;
  if (word_is(g_pos, "IGNORE")) {
    skip_word();
  } else {
    if (!parse_arguments(g_label_only)) return false;
    it->target = arg_label(0);
  }
  if (!skip_blanks() || !expect_char(',') || !skip_blanks()) return false;
  if (word_is(g_pos, "SEPARATOR")) {
    skip_word();
    it->separator = true;
    if (!skip_blanks() || !expect_char(',') || !skip_blanks()) return false;
  }
  if (word_is(g_pos, "ENDPOPUP")) {
    skip_word();
    it->end_popup = true;
    if (!skip_blanks()) return false;
    if (*g_pos == ')') {
      ++g_pos;
      it->last = true;
      return true;
    }
    return expect_char(',');
  }
  return true;
}

bool read_menu_list() {
  if (!skip_blanks() || !expect_char('(') || !skip_blanks()) return false;
  if (*g_pos == ')') {
    ++g_pos;
    return true;
  }
  MenuItem item;
  do {
    if (!read_menu_item(&item)) return false;
  } while (!item.last);
  return true;
}
