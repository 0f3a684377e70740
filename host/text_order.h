// The order of texts in comparisons (IF, STRCMP): the platform's
// case-sensitive comparison lstrcmpA, with a quicker walk for the texts whose
// order is plain.
#pragma once

// Negative, zero or positive as lstrcmpA(a, b) (the sign is what counts).
// Both texts end at their first NUL.
int text_order(const char* a, const char* b);
// True when the quick walk is in use (it is set up on first use).
bool text_order_walks();
