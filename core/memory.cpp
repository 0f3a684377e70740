// The allocation seam: every block the runtime allocates for itself passes
// through here, so that a test can fail any one of them and count the blocks
// still alive.
#include "core/memory.h"
#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#endif

static int s_fail_countdown = 0;
static long s_live = 0;

void mem_fail_after(int count) { s_fail_countdown = count; }
bool mem_failure_pending() { return s_fail_countdown > 0; }
long mem_live_blocks() { return s_live; }

static bool injected_failure() {
  if (s_fail_countdown <= 0) return false;
  return --s_fail_countdown == 0;
}

void* mem_alloc(size_t bytes) {
  if (injected_failure()) return nullptr;
  void* p = calloc(1, bytes ? bytes : 1);
  if (p) ++s_live;
  return p;
}

void* mem_realloc(void* block, size_t bytes) {
  if (injected_failure()) return nullptr;
  void* p = realloc(block, bytes ? bytes : 1);
  if (p && !block) ++s_live;
  return p;
}

void mem_free(void* block) {
  if (!block) return;
  --s_live;
  free(block);
}

// The system's movable blocks exist only in the Windows builds; the natively
// built tools (the checker) never draw bitmaps or touch the clipboard.
#ifdef _WIN32
void* mem_global_alloc(unsigned flags, size_t bytes) {
  if (injected_failure()) return nullptr;
  HGLOBAL h = GlobalAlloc(flags, bytes);
  if (h) ++s_live;
  return h;
}

void* mem_global_realloc(void* block, size_t bytes, unsigned flags) {
  if (injected_failure()) return nullptr;
  return GlobalReAlloc(block, bytes, flags);
}

void mem_global_free(void* block) {
  if (!block) return;
  --s_live;
  GlobalFree(block);
}

void mem_global_given(void* block) {
  if (block) --s_live;
}
#endif
