// Destination names built from a pattern, as the copy and move commands use
// them.
#include <gtest/gtest.h>
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
