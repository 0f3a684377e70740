// What the name or number at a script position turned out to be. A name's text never
// changes while the script runs, so each place in the script looks its
// variable or label up once; later passes find it here without hashing.
#pragma once
#include <stdint.h>

struct NumVar;
struct StrVar;
struct Label;

struct NameSlot {
  NumVar* num;
  StrVar* str;
  uint32_t str_generation;  // string variables can be freed: see below
  Label* label;
  uint32_t length;          // length of the word, or of the number literal
  int32_t literal;          // the value of a number literal read here
  bool is_literal;
};

// Bumped by FREEVAR and FREEVARALL: string entries of an older generation
// are stale.
extern uint32_t g_str_generation;

bool init_name_cache();
void free_name_cache();
// The slot of the name at p, or null when p is outside the script or the
// cache has no room (callers then look the name up the slow way). The
// pointer is valid until the next call.
NameSlot* name_slot(const char* p);
// The slot of the name at p if one was made, without making one (the checker
// reads back what a parse looked up).
const NameSlot* find_name_slot(const char* p);
