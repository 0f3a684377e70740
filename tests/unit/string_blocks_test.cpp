// String values are built in the variable's own block when they fit: every
// way the operands can share that block, and loops that allocate nothing
// after their first turn.
#include <gtest/gtest.h>
#include "tests/unit/script_fixture.h"

TEST(StringBlocks, OperandsSharingTheTarget) {
  struct Case { const char* script; const char* var; const char* want; };
  static const Case cases[] = {
    {"A$ = \"abcdef\"\nB$ = \"xy\"\nA$ = A$ + B$\n", "A$", "abcdefxy"},
    {"A$ = \"abcdef\"\nB$ = \"xy\"\nA$ = B$ + A$\n", "A$", "xyabcdef"},
    {"A$ = \"abcdef\"\nA$ = A$ + A$\n", "A$", "abcdefabcdef"},
    {"A$ = \"abcdefgh\"\nB$ = \"xy\"\nA$ = B$ + A$\n", "A$", "xyabcdefgh"},
    {"A$ = \"abcdefghijkl\"\nA$ = \"ab\"\nA$ = A$ + A$\n", "A$", "abab"},
    {"A$ = \"abcdefghijkl\"\nA$ = \"ab\"\nA$ = \"x\" + A$\n", "A$", "xab"},
    {"A$ = \"abcdefghijkl\"\nB$ = \"xyz\"\nA$ = B$\nA$ = A$ + \"!\"\n", "A$", "xyz!"},
    {"A$ = \"abcdefghijkl\"\nSUBSTR (A$, 3, 2, A$)\n", "A$", "bcd"},
    {"A$ = \"abcdefghijkl\"\nRIGHT (A$, 4, A$)\nPAD (A$, 2)\n", "A$", "ijkl  "},
    {"A$ = \"abcdefghijkl\"\nSPACE (A$, 3)\nA$ = A$ + \"|\"\n", "A$", "   |"},
    {"A$ = \"ab   \"\nTRIM (A$)\nA$ = A$ + A$\n", "A$", "abab"},
  };
  for (const Case& c : cases) {
    ScriptResult r = run_script(c.script);
    EXPECT_EQ(r.msg, MSG_NONE) << c.script;
    EXPECT_EQ(str(c.var), c.want) << c.script;
  }
  unload_script();
}

TEST(StringBlocks, LoopsAllocateOnlyOnTheirFirstTurn) {
  // With the 80th allocation of the run failing, a loop that allocated per
  // turn would stop with "Not enough memory." long before its 2000th turn.
  const char* script =
      "N = 0\nB$ = \"hello\"\n"
      "loop: A$ = B$ + \" world\"\n"
      "SUBSTR (A$, 5, 3, S$)\nSTR (N, T$)\nPAD (S$, 2)\nTRIM (S$)\nLEFT (A$, 4, L$)\n"
      "C$ = S$ + T$\nSPACE (P$, 4)\n"
      "N = N + 1\nIF N < 2000 THEN GOTO loop\nEND\n";
  ScriptResult r = run_script(script, 80);
  EXPECT_EQ(r.msg, MSG_NONE);
  EXPECT_EQ(num("N"), 2000);
  EXPECT_EQ(str("C$"), "llo w1999");
  EXPECT_EQ(str("P$"), "    ");
  // A value that keeps growing by appending to itself gets room to spare:
  // far fewer allocations than turns.
  r = run_script("N = 0\nloop: A$ = A$ + \"x\"\nN = N + 1\nIF N < 2000 THEN GOTO loop\n", 80);
  EXPECT_EQ(r.msg, MSG_NONE);
  EXPECT_EQ(str("A$").size(), 2000u);
  unload_script();
}
