// Allocation used for every script-owned block (variables, texts, labels,
// stacks) and for the movable global blocks of bitmaps and the clipboard.
// A unit test can make the n-th following allocation fail to exercise the
// "Not enough memory." paths, and count the blocks alive to find leaks.
#pragma once
#include <stddef.h>

void* mem_alloc(size_t bytes);          // zero-filled; null on failure
void* mem_realloc(void* block, size_t bytes);  // null on failure, block untouched
void mem_free(void* block);

// Movable global blocks (GlobalAlloc, GlobalReAlloc, GlobalFree). A block
// given to the system (the clipboard) is no longer ours: mem_global_given.
// The handles are HGLOBAL; this header stays free of the system's headers.
void* mem_global_alloc(unsigned flags, size_t bytes);
void* mem_global_realloc(void* block, size_t bytes, unsigned flags);  // null on failure, block untouched
void mem_global_free(void* block);
void mem_global_given(void* block);

// Test seam: when > 0, the allocation with that ordinal from now on fails
// (1 = the very next one). 0 disables the injection.
void mem_fail_after(int count);
// True while an injected failure is still to come.
bool mem_failure_pending();
// Blocks of both kinds allocated and not yet freed.
long mem_live_blocks();
