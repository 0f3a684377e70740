#include "core/name_cache.h"
#include "core/memory.h"
#include "core/script.h"

uint32_t g_str_generation = 1;

static uint32_t* s_index = nullptr;   // per script byte: slot number + 1, or 0
static NameSlot* s_slots = nullptr;
static uint32_t s_used = 0, s_capacity = 0;

bool init_name_cache() {
  free_name_cache();
  s_index = (uint32_t*)mem_alloc(sizeof(uint32_t) * ((size_t)g_script_len + 2));
  return s_index != nullptr;
}

void free_name_cache() {
  mem_free(s_index);
  mem_free(s_slots);
  s_index = nullptr;
  s_slots = nullptr;
  s_used = s_capacity = 0;
}

NameSlot* name_slot(const char* p) {
  if (!s_index || p < g_script || p > g_script + g_script_len + 1) return nullptr;
  uint32_t* ix = &s_index[p - g_script];
  if (*ix) return &s_slots[*ix - 1];
  if (s_used == s_capacity) {
    uint32_t n = s_capacity ? s_capacity * 2 : 256;
    NameSlot* grown = (NameSlot*)mem_realloc(s_slots, sizeof(NameSlot) * n);
    if (!grown) return nullptr;
    s_slots = grown;
    s_capacity = n;
  }
  NameSlot* slot = &s_slots[s_used++];
  *slot = NameSlot{nullptr, nullptr, 0, nullptr, 0, 0, false};
  *ix = s_used;
  return slot;
}

const NameSlot* find_name_slot(const char* p) {
  if (!s_index || p < g_script || p > g_script + g_script_len + 1) return nullptr;
  uint32_t ix = s_index[p - g_script];
  return ix ? &s_slots[ix - 1] : nullptr;
}
