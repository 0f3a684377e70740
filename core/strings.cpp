// The string library: every operation writes its result into a variable.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/numbers.h"
#include "core/variables.h"
#include <windows.h>
#include <string.h>

const ArgItem SYN_ucase[] = {LP_, STRVAR_, RP_, END_};
bool cmd_ucase() {
  StrVar* v = arg_strvar(0);
  CharUpperBuffA(v->text, str_len(v));
  return true;
}

const ArgItem SYN_lcase[] = {LP_, STRVAR_, RP_, END_};
bool cmd_lcase() {
  StrVar* v = arg_strvar(0);
  CharLowerBuffA(v->text, str_len(v));
  return true;
}

const ArgItem SYN_ansi[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_ansi() {
  // An empty text reads its terminator: 0.
  arg_numvar(2)->value = (signed char)arg_text(0)[0];
  return true;
}

const ArgItem SYN_chr[] = {LP_, NUM_, CM_, STRVAR_, RP_, END_};
bool cmd_chr() {
  int32_t code = arg_num(0);
  if (code < 0 || code > 255) {
    set_error_only(MSG_ANSI_RANGE);
    return false;
  }
  char c = (char)code;
  return set_string_value(arg_strvar(1), &c, 1, MSG_NO_MEMORY);
}

const ArgItem SYN_len[] = {LP_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_len() {
  arg_numvar(2)->value = (int32_t)arg_len(1);
  return true;
}

static int sign_of(int r) { return r < 0 ? 0 : (r == 0 ? 1 : 2); }

const ArgItem SYN_strcmp[] = {LP_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_strcmp() {
  arg_numvar(4)->value = sign_of(collate_texts(arg_text(0), arg_text(2)));
  return true;
}

const ArgItem SYN_strcmpi[] = {LP_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_strcmpi() {
  arg_numvar(4)->value = sign_of(lstrcmpiA(arg_text(0), arg_text(2)));
  return true;
}

const ArgItem SYN_instr[] = {LP_, STR_, CM_, STR_, CM_, NUMVAR_, RP_, END_};
bool cmd_instr() {
  const char* text = arg_text(0);
  const char* pat = arg_text(2);
  uint32_t n = arg_len(1), m = arg_len(3);
  int32_t found = 0;
  if (m > 0 && m <= n) {
    char first = pat[0];
    for (uint32_t i = 0; i + m <= n; ++i) {
      if (text[i] == first && memcmp(text + i, pat, m) == 0) {
        found = (int32_t)(i + 1);
        break;
      }
    }
  }
  arg_numvar(4)->value = found;
  return true;
}

// Builds a new value of total bytes: head copied from src, then fill bytes;
// in the variable's own block when it fits (src is then that block or "").
// Otherwise the new block becomes the variable's text as it is (one pass
// over a long value, not a second copy); src may be the old text.
static bool store_filled(StrVar* v, const char* src, uint32_t head, uint32_t fill, int msg) {
  if (head > STR_MAX_LEN || fill > STR_MAX_LEN - head) {
    set_error_only(msg);
    return false;
  }
  uint32_t total = head + fill;
  if (string_fits(v, total)) {
    memmove(v->text, src, head);
    memset(v->text + head, ' ', fill);
    v->text[total] = 0;
    v->size = total + 1;
    return true;
  }
  char* block = (char*)mem_alloc((size_t)total + 1);
  if (!block) {
    set_error_only(msg);
    return false;
  }
  memcpy(block, src, head);
  memset(block + head, ' ', fill);
  block[total] = 0;
  mem_free(v->text);
  v->text = block;
  v->size = total + 1;
  v->capacity = total + 1;
  return true;
}

const ArgItem SYN_pad[] = {LP_, STRVAR_, CM_, NUM_, RP_, END_};
bool cmd_pad() {
  int32_t n = arg_num(1);
  if (n < 0) {
    set_error_only(MSG_NEGATIVE);
    return false;
  }
  StrVar* v = arg_strvar(0);
  if (n == 0) return true;
  return store_filled(v, v->text, str_len(v), (uint32_t)n, MSG_NO_MEMORY);
}

const ArgItem SYN_space[] = {LP_, STRVAR_, CM_, NUM_, RP_, END_};
bool cmd_space() {
  int32_t n = arg_num(1);
  if (n < 0) {
    set_error_only(MSG_NEGATIVE);
    return false;
  }
  return store_filled(arg_strvar(0), "", 0, (uint32_t)n, MSG_NO_MEMORY);
}

const ArgItem SYN_trim[] = {LP_, STRVAR_, RP_, END_};
bool cmd_trim() {
  StrVar* v = arg_strvar(0);
  uint32_t n = str_len(v);
  while (n > 0 && v->text[n - 1] == ' ') --n;
  if (n == str_len(v)) return true;
  return set_string_value(v, v->text, n, MSG_NO_MEMORY);
}

const ArgItem SYN_val[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_val() {
  const char* p = arg_text(0);
  int32_t value = 0;
  int error;
  int32_t ok = 0;
  if (parse_literal(&p, &value, &error)) {
    ok = 1;
  } else if (error != MSG_FRACTIONAL) {
    value = 0;  // no number, or one that does not fit
  }
  arg_numvar(2)->value = value;
  arg_numvar(3)->value = ok;
  return true;
}

const ArgItem SYN_str[] = {LP_, NUM_, CM_, STRVAR_, RP_, END_};
bool cmd_str() {
  char buf[16];
  int n = wsprintfA(buf, "%d", arg_num(0));
  return set_string_value(arg_strvar(1), buf, (uint32_t)n, MSG_NO_MEMORY);
}

// LEFT and RIGHT: n bytes from one end of the source, or all of it.
static bool take_end(bool from_right) {
  int32_t n = arg_num(1);
  if (n < 0) {
    set_error_only(MSG_NEGATIVE);
    return false;
  }
  StrVar* src = arg_strvar(0);
  uint32_t len = str_len(src);
  uint32_t take = (uint32_t)n < len ? (uint32_t)n : len;
  const char* from = from_right ? src->text + (len - take) : src->text;
  return set_string_value(arg_strvar(2), from, take, MSG_NO_MEMORY_REALLOC);
}

const ArgItem SYN_left[] = {LP_, STRVAR_, CM_, NUM_, CM_, STRVAR_, RP_, END_};
bool cmd_left() { return take_end(false); }

const ArgItem SYN_right[] = {LP_, STRVAR_, CM_, NUM_, CM_, STRVAR_, RP_, END_};
bool cmd_right() { return take_end(true); }

const ArgItem SYN_substr[] = {LP_, STR_, CM_, NUM_, CM_, NUM_, CM_, STRVAR_, RP_, END_};
bool cmd_substr() {
  const char* text = arg_text(0);
  uint32_t len = arg_len(1);
  int32_t count = arg_num(2), start = arg_num(3);
  if (count < 0) {
    set_error_only(MSG_NEGATIVE);
    return false;
  }
  if (start < 1) {
    set_error_only(MSG_START_ZERO);
    return false;
  }
  if ((uint32_t)start > len) {
    set_error_only(MSG_START_BEYOND);
    return false;
  }
  uint32_t avail = len - (uint32_t)start + 1;
  uint32_t take = (uint32_t)count < avail ? (uint32_t)count : avail;
  return set_string_value(arg_strvar(4), text + start - 1, take, MSG_NO_MEMORY);
}
