#include "core/memory.h"
#include <stdlib.h>

static int s_fail_countdown = 0;

void mem_fail_after(int count) { s_fail_countdown = count; }

static bool injected_failure() {
  if (s_fail_countdown <= 0) return false;
  return --s_fail_countdown == 0;
}

void* mem_alloc(size_t bytes) {
  if (injected_failure()) return nullptr;
  return calloc(1, bytes ? bytes : 1);
}

void* mem_realloc(void* block, size_t bytes) {
  if (injected_failure()) return nullptr;
  return realloc(block, bytes ? bytes : 1);
}

void mem_free(void* block) { free(block); }
