// Destination names built from a pattern, as the copy and move commands use
// them.
#include <gtest/gtest.h>
#include "test_random.h"
#include <string.h>
#include <string>
#include "system/files_directories.h"

static std::string built(const char* name, const char* pattern) {
  char out[256];
  name_from_pattern(name, pattern, out);
  return out;
}

TEST(FileNames, PatternsReplaceCopyAndCut) {
  EXPECT_EQ("a.txt", built("a.txt", "*.*"));
  EXPECT_EQ("a.bak", built("a.txt", "*.bak"));
  EXPECT_EQ("a.b", built("a.c", "*.bak"));        // never longer than the name
  EXPECT_EQ("readme", built("readme", "*.bak"));  // no dot: the star takes it all
  EXPECT_EQ("xbc.txt", built("abc.txt", "x*.*"));
  EXPECT_EQ("a?c", built("a?c", "a??"));          // "?" copies whatever the name has
  EXPECT_EQ("aXc.t", built("abc.txt", "?X?.t"));  // the rest of the name is dropped
  EXPECT_EQ("ab", built("ab.txt", "*"));          // the star stops at the name's dot
  EXPECT_EQ("", built("", "*.*"));
  EXPECT_EQ("", built("abc", ""));
}

// Whatever the name and the pattern, the result fits where the name fitted.
TEST(FileNames, NeverLongerThanTheName) {
  Rng rng{0x9E3779B9};
  auto rnd = [&rng](uint32_t n) { return rng.below(n); };
  static const char kChars[] = "ab.*?x";
  for (int round = 0; round < 20000; ++round) {
    std::string name, pattern;
    for (uint32_t k = rnd(12); k > 0; --k) name += kChars[rnd(6)];
    for (uint32_t k = rnd(12); k > 0; --k) pattern += kChars[rnd(6)];
    char out[300];
    memset(out, 0x7F, sizeof out);
    name_from_pattern(name.c_str(), pattern.c_str(), out);
    ASSERT_LE(strlen(out), name.size()) << name << " / " << pattern;
    ASSERT_EQ(0x7F, out[name.size() + 1]) << name << " / " << pattern;  // nothing written beyond
  }
}
