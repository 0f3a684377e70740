// The script buffer and the lexer's scanning steps.
#include "core/script.h"
#include "core/errors.h"
#include "core/memory.h"
#include <string.h>

char* g_script = nullptr;
uint32_t g_script_len = 0;
char* g_pos = nullptr;

bool make_script_buffer(uint32_t len) {
  if (len > 0xFFFFFFF0u) return false;
  char* b = (char*)mem_alloc((size_t)len + 2);
  if (!b) return false;
  b[0] = 13;
  b[len + 1] = (char)CH_EOT;
  g_script = b;
  g_script_len = len;
  return true;
}

void free_script() {
  mem_free(g_script);
  g_script = nullptr;
  g_script_len = 0;
  g_pos = nullptr;
}

bool load_script_text(const char* text, uint32_t len) {
  if (!make_script_buffer(len)) return false;
  memcpy(g_script + 1, text, len);
  g_pos = g_script;
  return true;
}

static constexpr unsigned char class_of(int c) {
  unsigned char k = 0;
  if (c == 9 || c == 10 || c == 13 || c == 32 || c == '|') k |= CC_BLANK;
  if (c == 10 || c == 13 || c == 26) k |= CC_LINE_END;
  bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  bool digit = c >= '0' && c <= '9';
  if (letter || digit || c == '_') k |= CC_IDENT;
  if (letter || c == '_') k |= CC_IDENT_START;
  if (digit) k |= CC_DIGIT;
  return k;
}

const unsigned char g_cclass[256] = {
#define C4(n) class_of(n), class_of(n + 1), class_of(n + 2), class_of(n + 3)
#define C16(n) C4(n), C4(n + 4), C4(n + 8), C4(n + 12)
#define C64(n) C16(n), C16(n + 16), C16(n + 32), C16(n + 48)
  C64(0), C64(64), C64(128), C64(192)
#undef C64
#undef C16
#undef C4
};

bool skip_comment(char** pp) {
  char* p = *pp + 1;
  int depth = 1;
  for (;;) {
    char c = *p;
    if (c == (char)CH_EOT) return false;
    ++p;
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth == 0) break;
    }
  }
  *pp = p;
  return true;
}

bool skip_blanks_from_here() {
  char* p = g_pos;
  for (;;) {
    if (is_blank(*p)) {
      ++p;
    } else if (*p == '{') {
      if (!skip_comment(&p)) {
        set_error_at(MSG_UNBALANCED_COMMENT, p);
        return false;
      }
    } else {
      break;
    }
  }
  g_pos = p;
  return true;
}

bool expect_char(char c) {
  if (*g_pos == c) {
    ++g_pos;
    return true;
  }
  set_error(MSG_SYNTAX);
  return false;
}

// Collation weight of an identifier character in the platform's
// case-insensitive order: "_" before digits before letters; 0 ends a word.
static inline int weight(char c) {
  if (c == '_') return 1;
  if (c >= '0' && c <= '9') return 2 + (c - '0');
  if (c >= 'a' && c <= 'z') return 12 + (c - 'a');
  if (c >= 'A' && c <= 'Z') return 12 + (c - 'A');
  return 0;
}

int compare_word(const char* p, const char* keyword) {
  for (;;) {
    int a = weight(*p), b = weight(*keyword);
    if (a != b || a == 0) return a - b;
    ++p;
    ++keyword;
  }
}

bool word_is(const char* p, const char* keyword) {
  for (;;) {
    char k = *keyword;
    if (!k) return !is_ident(*p);
    if (upper_ascii(*p) != upper_ascii(k)) return false;
    ++p;
    ++keyword;
  }
}

bool scan_literal(const char** text, uint32_t* len) {
  char* start = g_pos + 1;
  char* p = start;
  for (;;) {
    char c = *p;
    if (c == '"' || c == 0) break;
    if (c == (char)CH_EOT) {
      set_error(MSG_SYNTAX);
      return false;
    }
    ++p;
  }
  *p = 0;
  *text = start;
  *len = (uint32_t)(p - start);
  g_pos = p + 1;
  return true;
}
