// Numeric and string variables: global, created on first mention, looked up
// by name without regard to case through a hash index, kept in creation order.
#pragma once
#include <stdint.h>

struct NumVar {
  const char* name;   // first mention in the script text
  int32_t value;
  NumVar* next;       // creation order
  NumVar* hnext;      // hash chain
};

struct StrVar {
  const char* name;   // first mention in the script text (the word before "$")
  char* text;         // size bytes, NUL at text[size - 1]
  uint32_t size;      // length + 1
  StrVar* next;       // creation order
  StrVar* prev;
  StrVar* hnext;      // hash chain
  uint32_t capacity;  // bytes of the text block (at least size)
};

inline uint32_t str_len(const StrVar* v) { return v->size - 1; }
// The longest text a string can hold: its length must fit a signed 32-bit
// number (LEN and the script's numbers).
const uint32_t STR_MAX_LEN = 0x7FFFFFFFu;

// At the script position: the variable named there, created if new; the
// position moves past the name (and the "$"). Null with the error set.
NumVar* find_or_create_numvar();
StrVar* find_or_create_strvar();

// Replaces a string variable's value with a copy of text[0..len) (which may
// lie inside the variable's own block). The block is reused when the value
// fits it. On failure the variable keeps its value and the error slot gets msg.
bool set_string_value(StrVar* v, const char* text, uint32_t len, int msg);
// True when a value of len bytes is written into the variable's own block.
bool string_fits(const StrVar* v, uint32_t len);

// The assignment statement, with or without SET.
bool stmt_assignment();
bool stmt_set();

// Releases every variable (clean-up and unit tests).
void free_all_variables();
// Counts for tests and diagnostics.
uint32_t numvar_count();
uint32_t strvar_count();
NumVar* first_numvar();
StrVar* first_strvar();

bool cmd_freevar();
bool cmd_freevarall();
