// Statements run again from their steps behave as when read from the text:
// the same values and the same branches (errors on a later turn: core_test).
#include <gtest/gtest.h>
#include "tests/unit/script_fixture.h"

TEST(Steps, LoopsComputeAsFromTheText) {
  ScriptResult r = run_script(
      "N = 0\nE = 0\nO = 0\nloop: N = N + 1\n"
      "H = N / 2\nH = H * 2\nIF H = N\n  E = E + 1\nELSE\n  O = O + 1 { odd }\nENDIF\n"
      "SET T = N * 3\nGOSUB sub\n"
      "IF 100 > N THEN GOTO loop { taken 99 times } \n"
      "END\nsub: S = S - -2\nIF S < 0 THEN S = 1000\nRETURN\n");
  EXPECT_EQ(r.msg, MSG_NONE);
  EXPECT_EQ(num("N"), 100);
  EXPECT_EQ(num("E"), 50);
  EXPECT_EQ(num("O"), 50);
  EXPECT_EQ(num("T"), 300);
  EXPECT_EQ(num("S"), 200);
  unload_script();
}

TEST(Steps, ArgumentsReadAgainWhenTheyNoLongerHold) {
  // FREEVAR in the loop: the steps that name string variables are made
  // again, and the freed variable starts empty each turn.
  ScriptResult r = run_script(
      "N = 0\nloop: A$ = A$ + \"x\"\nLEN (A$, L)\nB$ = B$ + A$\nFREEVAR (A$)\nN = N + 1\n"
      "IF N < 5 THEN GOTO loop\nLEN (B$, T)\n");
  EXPECT_EQ(r.msg, MSG_NONE);
  EXPECT_EQ(num("L"), 1);
  EXPECT_EQ(str("B$"), "xxxxx");
  unload_script();
}
