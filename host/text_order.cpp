// The order of texts in comparisons: the platform's, which is not byte order
// ("a" < "B").
#include "core/numbers.h"
#include <windows.h>

int collate_texts(const char* left, const char* right) { return lstrcmpA(left, right); }
