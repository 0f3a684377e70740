// Statements run again from their steps behave as when read from the text:
// the same values, the same branches, and an error on a later turn reported
// with the same message and line as on the first.
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

TEST(Steps, ErrorsOnALaterTurn) {
  struct Case { const char* script; int msg; const char* line; int n; };
  static const Case cases[] = {
    {"N = 2147483640\nloop: N = N + 1\nIF N > 0 THEN GOTO loop\n", MSG_OVERFLOW, "loop: N = N + 1", 2147483647},
    {"D = 3\nloop: D = D - 1\nX = 6 / D\nIF D > -5 THEN GOTO loop\n", MSG_DIVIDE_BY_ZERO, "X = 6 / D", 0},
    {"N = -2147483640\nloop: SET N = N - 1\nGOTO loop\n", MSG_UNDERFLOW, "loop: SET N = N - 1", -2147483647 - 1},
    {"K = 0\nloop: K = K + 1\nIF K < 3 THEN GOSUB sub\nRETURN\nsub: GOTO loop\n", MSG_RETURN_WITHOUT_GOSUB,
     "RETURN", 3},
  };
  for (const Case& c : cases) {
    ScriptResult r = run_script(c.script);
    EXPECT_EQ(r.msg, c.msg) << c.script;
    EXPECT_EQ(r.line, c.line) << c.script;
    const char* var = c.script[0] == 'D' ? "D" : c.script[0] == 'K' ? "K" : "N";
    EXPECT_EQ(num(var), c.n) << c.script;
  }
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
  // A colour component that grows past 255 on a later turn fails as on the
  // first: at the command's line.
  r = run_script("C = 250\nloop: USEPEN (SOLID, 1, 0, C, 0)\nC = C + 2\nGOTO loop\n");
  EXPECT_EQ(r.msg, MSG_COLOUR_RANGE);
  EXPECT_EQ(r.line, "loop: USEPEN (SOLID, 1, 0, C, 0)");
  EXPECT_EQ(num("C"), 256);
  unload_script();
}
