#include "core/numbers.h"
#include "core/errors.h"
#include "core/name_cache.h"
#include "core/script.h"
#include "core/steps.h"
#include "core/variables.h"

bool parse_literal(const char** pp, int32_t* out, int* error) {
  const char* p = *pp;
  bool negative = false;
  if (*p == '-') {
    if (!is_digit(p[1])) {
      *error = MSG_NONE;
      return false;
    }
    negative = true;
    ++p;
  } else if (!is_digit(*p)) {
    *error = MSG_NONE;
    return false;
  }
  uint64_t value = 0;
  int digits = 0;
  while (is_digit(*p)) {
    if (digits < 11) value = value * 10 + (uint64_t)(*p - '0');
    ++digits;
    ++p;
  }
  // Ten digits fit the digit rule, but a value outside the signed range is
  // refused like any other literal that does not fit.
  if (digits > 10 || value > (negative ? 2147483648ull : 2147483647ull)) {
    *error = MSG_NUMBER_RANGE;
    return false;
  }
  *out = negative ? (int32_t)(0 - (uint32_t)value) : (int32_t)value;
  *pp = p;
  if (*p == '.') {
    *error = MSG_FRACTIONAL;
    return false;
  }
  *error = MSG_NONE;
  return true;
}

bool read_num_operand(int32_t* out) {
  char c = *g_pos;
  if (c == '-' || is_digit(c)) {
    if (c == '-' && !is_digit(g_pos[1])) {
      set_error(MSG_INVALID_NUMBER);
      return false;
    }
    // A literal is read once per place in the script; later passes take
    // its value from the cache.
    NameSlot* slot = name_slot(g_pos);
    if (slot && slot->is_literal) {
      *out = slot->literal;
      g_pos += slot->length;
      return true;
    }
    const char* p = g_pos;
    int error;
    if (!parse_literal(&p, out, &error)) {
      set_error(error);
      return false;
    }
    if (slot) *slot = NameSlot{nullptr, nullptr, 0, nullptr, (uint32_t)(p - g_pos), *out, true};
    g_pos = (char*)p;
    return true;
  }
  NumVar* v = find_or_create_numvar();
  if (!v) return false;
  *out = v->value;
  return true;
}

bool read_num_source(NumOperand* o) {
  char c = *g_pos;
  if (c == '-' || is_digit(c)) {
    o->var = nullptr;
    return read_num_operand(&o->value);
  }
  o->var = find_or_create_numvar();
  if (!o->var) return false;
  o->value = o->var->value;
  return true;
}

bool arithmetic(char op, int32_t left, int32_t right, int32_t* out) {
  int64_t r;
  switch (op) {
    case '+':
      r = (int64_t)left + right;
      if (r > INT32_MAX || r < INT32_MIN) {
        set_error_only(right < 0 ? MSG_UNDERFLOW : MSG_OVERFLOW);
        return false;
      }
      break;
    case '-':
      r = (int64_t)left - right;
      if (r > INT32_MAX || r < INT32_MIN) {
        set_error_only(right >= 0 ? MSG_UNDERFLOW : MSG_OVERFLOW);
        return false;
      }
      break;
    case '*':
      r = (int64_t)left * right;
      if (r > INT32_MAX || r < INT32_MIN) {
        set_error_only((left < 0) != (right < 0) ? MSG_UNDERFLOW : MSG_OVERFLOW);
        return false;
      }
      break;
    default:  // '/'
      if (right == 0) {
        set_error_only(MSG_DIVIDE_BY_ZERO);
        return false;
      }
      if (left == INT32_MIN && right == -1) {
        set_error_only(MSG_OVERFLOW);
        return false;
      }
      r = left / right;
      break;
  }
  *out = (int32_t)r;
  return true;
}

bool read_relop(int* op) {
  char c = *g_pos;
  if (c == '<') {
    if (g_pos[1] == '=') { *op = REL_LE; g_pos += 2; }
    else if (g_pos[1] == '>') { *op = REL_NE; g_pos += 2; }
    else { *op = REL_LT; g_pos += 1; }
    return true;
  }
  if (c == '=') { *op = REL_EQ; g_pos += 1; return true; }
  if (c == '>') {
    if (g_pos[1] == '=') { *op = REL_GE; g_pos += 2; }
    else { *op = REL_GT; g_pos += 1; }
    return true;
  }
  set_error(MSG_SYNTAX);
  return false;
}

static int relation(int op, int sign) {
  switch (op) {
    case REL_LT: return sign < 0;
    case REL_LE: return sign <= 0;
    case REL_NE: return sign != 0;
    case REL_EQ: return sign == 0;
    case REL_GT: return sign > 0;
    default: return sign >= 0;
  }
}

int compare_numbers(int op, int32_t left, int32_t right) {
  return relation(op, left < right ? -1 : (left > right ? 1 : 0));
}

int compare_texts(int op, const char* left, const char* right) {
  return relation(op, collate_texts(left, right));
}
