// The quick text order against lstrcmpA itself: every pair of one-byte texts
// (the empty text among them) and many random texts that share prefixes and
// mix plain bytes with the ones the walk hands over.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "host/text_order.h"
#include "tests/unit/test_random.h"

static int sign(int r) { return r < 0 ? -1 : (r > 0 ? 1 : 0); }

TEST(TextOrder, WalkIsUsedHere) { EXPECT_TRUE(text_order_walks()); }

TEST(TextOrder, EverySingleBytePairAndRandomTexts) {
  // Mostly letters of both cases, digits, blanks and punctuation; now and
  // then a hyphen, apostrophe, control byte or a byte of 128 and above.
  static const char plain[] = "aAbBzZyY09 5.,;!~+=<>_`{|}()[]@\"#$%&*/:?^\\";
  static const char other[] = "-'\x01\x09\x7f\xa0\xad\xe9\xc9\xdf\x8a\x9a\xff";
  Rng rng{20261206u};
  auto text = [&](std::string prefix) {
    uint32_t n = rng.below(8);
    for (uint32_t k = 0; k < n; ++k) {
      if (rng.below(12) == 0)
        prefix += other[rng.below(sizeof other - 1)];
      else
        prefix += plain[rng.below(sizeof plain - 1)];
    }
    return prefix;
  };
  int mismatches = 0, walked = 0;
  for (int i = 0; i < 65536 + 200000; ++i) {
    std::string a, b;
    if (i < 65536) {  // every pair of one-byte texts, the empty text among them
      a = std::string(1, (char)(i >> 8)).c_str(), b = std::string(1, (char)i).c_str();
    } else {
      std::string common = text("");
      a = text(common), b = rng.below(4) == 0 ? a : text(common);
      if (rng.below(3) == 0)  // the same letters in other cases
        for (char& c : b)
          if (rng.below(2) && IsCharAlphaA(c)) c = (char)(c ^ 0x20);
    }
    int want = sign(lstrcmpA(a.c_str(), b.c_str()));
    if (sign(text_order(a.c_str(), b.c_str())) != want && ++mismatches < 20)
      ADD_FAILURE() << "[" << a << "] [" << b << "] lstrcmpA " << want;
    walked += a.find_first_of(other) == std::string::npos && b.find_first_of(other) == std::string::npos;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(walked, 100000);  // most pairs take the quick walk
}
