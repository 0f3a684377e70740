// The order of texts: lstrcmpA sorts by the letters first (case and accents
// ignored), and only when the letters are equal does case decide, at the first
// place where it differs (lower case first). For texts made only of letters,
// digits, blanks and the common punctuation of ASCII that amounts to a walk
// over two small weights a byte. Anything else (control bytes, hyphen and
// apostrophe, which the platform skips on the first pass, and every byte of
// 128 and above, which depends on the code page) goes to lstrcmpA itself, as
// does every text when the user's language is not English (other languages
// join or reorder letters) or when the platform turns out to order the plain
// bytes differently from the table below.
#include "host/text_order.h"
#include "core/numbers.h"
#include <windows.h>
#include <stdint.h>

// The plain bytes in the platform's order; bytes on one entry share their
// first weight and differ in case only (lower case first).
static const char* const s_plain_order[] = {
  " ", "!", "\"", "#", "$", "%", "&", "(", ")", "*", ",", ".", "/", ":", ";", "?", "@", "[", "\\", "]",
  "^", "_", "`", "{", "|", "}", "~", "+", "<", "=", ">", "0", "1", "2", "3", "4", "5", "6", "7", "8",
  "9", "aA", "bB", "cC", "dD", "eE", "fF", "gG", "hH", "iI", "jJ", "kK", "lL", "mM", "nN", "oO", "pP",
  "qQ", "rR", "sS", "tT", "uU", "vV", "wW", "xX", "yY", "zZ",
};

static uint8_t s_weight[256];  // first weight of a plain byte; 0 = not plain
static uint8_t s_upper[256];   // 1 for an upper-case letter
static int s_state = 0;        // 0 not set up, 1 the walk is used, 2 lstrcmpA only

static int platform_order(const char* a, const char* b) { return lstrcmpA(a, b); }

static int sign(int r) { return r < 0 ? -1 : (r > 0 ? 1 : 0); }

// Fills the tables and checks them against the platform once: every pair of
// neighbours in the list, each lower/upper pair, and the rule that the
// letters decide before case does. About a hundred calls, made at the first
// comparison of a run.
static void set_up() {
  s_state = 2;
  if (PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale())) != LANG_ENGLISH) return;
  const int n = (int)(sizeof s_plain_order / sizeof s_plain_order[0]);
  for (int i = 0; i < n; ++i) {
    const char* e = s_plain_order[i];
    s_weight[(unsigned char)e[0]] = (uint8_t)(i + 1);
    if (e[1]) {
      s_weight[(unsigned char)e[1]] = (uint8_t)(i + 1);
      s_upper[(unsigned char)e[1]] = 1;
    }
  }
  for (int i = 0; i < n; ++i) {
    const char* e = s_plain_order[i];
    char one[2] = {e[0], 0};
    if (i > 0) {
      char before[2] = {s_plain_order[i - 1][0], 0};
      if (platform_order(before, one) >= 0) return;
    }
    if (e[1]) {
      char up[2] = {e[1], 0};
      if (platform_order(one, up) >= 0) return;
    }
  }
  if (platform_order("ab", "Aa") <= 0 || platform_order("aB", "Ab") >= 0 || platform_order("a", "a ") >= 0)
    return;
  s_state = 1;
}

int text_order(const char* a, const char* b) {
  if (s_state != 1) {
    if (s_state == 0) set_up();
    if (s_state != 1) return sign(platform_order(a, b));
  }
  int by_case = 0;
  for (uint32_t i = 0;; ++i) {
    unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
    if (x == y) {
      if (x == 0) return by_case;
      if (!s_weight[x]) return sign(platform_order(a, b));
      continue;
    }
    uint8_t wx = s_weight[x], wy = s_weight[y];
    // An end against a plain byte: the shorter text comes first.
    if (x == 0 && wy) return -1;
    if (y == 0 && wx) return 1;
    if (!wx || !wy) return sign(platform_order(a, b));
    if (wx != wy) return wx < wy ? -1 : 1;
    if (!by_case) by_case = s_upper[x] ? 1 : -1;
  }
}

bool text_order_walks() {
  if (s_state == 0) set_up();
  return s_state == 1;
}

// The comparison the interpreter core uses (core/numbers.h).
int collate_texts(const char* left, const char* right) { return text_order(left, right); }
