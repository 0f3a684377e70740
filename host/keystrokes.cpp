// The keystroke-string grammar: plain characters, the prefixes "%" "^" "+",
// "~" for ENTER, and braced items: a key name ({TAB}, {DOWN 3}), a special
// character ({+}, {{} 2}) or any character with a count ({x 5}).
//
// A braced item is closed right behind its name or character, by "}" or by
// " count}"; anything else there is a bad repetition count. So "{TAB}+a"
// is TAB, then Shift+a, and "{ENTER}~" two ENTERs.
#include "host/keystrokes.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/script.h"
#include "core/variables.h"
#include <windows.h>

struct KeyName {
  const char* name;
  int code;
};

// F1 .. F24 are recognised by their number (111 + n).
static const KeyName s_key_names[] = {
    {"BACKSPACE", 8}, {"BS", 8},      {"BREAK", 3},       {"CAPSLOCK", 20}, {"CLEAR", 12},
    {"DEL", 46},      {"DELETE", 46}, {"DOWN", 40},       {"D", 40},        {"END", 35},
    {"ENTER", 13},    {"ESC", 27},    {"ESCAPE", 27},     {"HELP", 47},     {"HOME", 36},
    {"INSERT", 45},   {"LEFT", 37},   {"L", 37},          {"NUMLOCK", 144}, {"PGDN", 34},
    {"PGUP", 33},     {"PRTSC", 44},  {"RIGHT", 39},      {"R", 39},        {"SCROLLLOCK", 145},
    {"SPACE", 32},    {"SP", 32},     {"TAB", 9},         {"UP", 38},       {"U", 38},
};

static const char s_specials[] = "%+^{}~";

int key_name_code(const char* name, uint32_t length) {
  if (length >= 2 && length <= 3 && upper_ascii(name[0]) == 'F' && name[1] >= '1' && name[1] <= '9') {
    int n = name[1] - '0';
    if (length == 3) {
      if (!is_digit(name[2])) return -1;
      n = n * 10 + (name[2] - '0');
    }
    return n <= 24 ? 111 + n : -1;
  }
  for (const KeyName& k : s_key_names) {
    uint32_t i = 0;
    while (i < length && k.name[i] && k.name[i] == upper_ascii(name[i])) ++i;
    if (i == length && !k.name[i]) return k.code;
  }
  return -1;
}

static bool is_alnum(char c) {
  return is_digit(c) || (upper_ascii(c) >= 'A' && upper_ascii(c) <= 'Z');
}

static void skip_key_blanks(const char* end) {
  while (g_pos < end && is_blank(*g_pos)) ++g_pos;
}

// A count written as a numeric variable: a string variable's text is not
// part of the script, and a variable must not take its name from there, so
// outside the script an unknown name counts as 0 without creating anything.
static bool read_variable_count(int32_t* out) {
  if (g_pos >= g_script && g_pos < g_script + g_script_len + 2) {
    NumVar* v = find_or_create_numvar();
    if (!v) return false;
    *out = v->value;
    return true;
  }
  if (!is_ident_start(*g_pos)) return false;
  *out = 0;
  for (NumVar* v = first_numvar(); v; v = v->next)
    if (compare_word(g_pos, v->name) == 0) {
      *out = v->value;
      break;
    }
  skip_word();
  return true;
}

// At the space behind a key name or character: the count and the closing brace.
static bool read_count(const char* end, int32_t* count) {
  ++g_pos;
  skip_key_blanks(end);
  bool ok;
  if (g_pos >= end) {
    ok = false;
  } else if (*g_pos == '-' || is_digit(*g_pos)) {
    const char* p = g_pos;
    int error;
    ok = parse_literal(&p, count, &error);
    g_pos = (char*)p;
  } else {
    ok = read_variable_count(count);
  }
  if (!ok || *count == -1) {
    set_error_only(MSG_KEYSTROKES);
    return false;
  }
  skip_key_blanks(end);
  if (g_pos >= end || *g_pos != '}') {
    set_error_only(MSG_KEY_REPEAT);
    return false;
  }
  ++g_pos;
  return true;
}

// Behind a name or character: " count}" or "}".
static bool read_close(const char* end, int32_t* count) {
  if (g_pos < end && *g_pos == ' ') return read_count(end, count);
  if (g_pos < end && *g_pos == '}') {
    ++g_pos;
    *count = 1;
    return true;
  }
  set_error_only(MSG_KEY_REPEAT);
  return false;
}

static bool read_braced(const char* end, KeyItem* item) {
  const char* name = g_pos;
  while (g_pos < end && is_alnum(*g_pos)) ++g_pos;
  int code = key_name_code(name, (uint32_t)(g_pos - name));
  if (code >= 0) {
    item->kind = KEY_NAMED;
    item->code = code;
    return read_close(end, &item->count);
  }
  g_pos = (char*)name;
  if (g_pos >= end) {
    set_error_only(MSG_KEY_REPEAT);
    return false;
  }
  char c = *g_pos++;
  item->kind = KEY_CHAR;
  item->code = (unsigned char)c;
  item->braced = true;
  for (const char* s = s_specials; *s; ++s)
    if (*s == c) return read_close(end, &item->count);
  if (g_pos < end && *g_pos == ' ') return read_count(end, &item->count);
  set_error_only(MSG_KEY_REPEAT);
  return false;
}

bool read_key_item(const char* end, KeyItem* item) {
  item->kind = KEY_END;
  item->code = 0;
  item->count = 1;
  item->braced = false;
  if (g_pos >= end) return true;
  char c = *g_pos++;
  switch (c) {
    case '%': item->kind = KEY_ALT; return true;
    case '^': item->kind = KEY_CTRL; return true;
    case '+': item->kind = KEY_SHIFT; return true;
    case '~': item->kind = KEY_NAMED; item->code = VK_RETURN; return true;
    case '{': return read_braced(end, item);
    default: item->kind = KEY_CHAR; item->code = (unsigned char)c; return true;
  }
}
