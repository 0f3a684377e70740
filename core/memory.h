// Allocation used for every script-owned block (variables, texts, labels, stacks).
// A unit test can make the n-th following allocation fail to exercise the
// "Not enough memory." paths.
#pragma once
#include <stddef.h>

void* mem_alloc(size_t bytes);          // zero-filled; null on failure
void* mem_realloc(void* block, size_t bytes);  // null on failure, block untouched
void mem_free(void* block);

// Test seam: when > 0, the allocation with that ordinal from now on fails
// (1 = the very next one). 0 disables the injection.
void mem_fail_after(int count);
