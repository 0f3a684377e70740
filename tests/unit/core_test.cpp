// Interpreter core: tables, operands and arithmetic limits, the lexer, labels,
// IF, and the "Not enough memory." paths through the allocation seam.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "core/arguments.h"
#include "core/commands.h"
#include "core/numbers.h"
#include "host/startup.h"
#include "script_fixture.h"

TEST(Tables, SortedAndEveryDescriptorFitsTheArgumentArea) {
  for (int i = 1; i < g_statement_count; ++i)
    EXPECT_LT(compare_word(g_statements[i - 1].name, g_statements[i].name), 0) << g_statements[i].name;
  for (int i = 1; i < g_command_count; ++i)
    EXPECT_LT(compare_word(g_commands[i - 1].name, g_commands[i].name), 0) << g_commands[i].name;
  for (int i = 0; i < g_command_count; ++i) {
    const Command& c = g_commands[i];
    ASSERT_NE(c.handler, nullptr) << c.name;
    int words = 0, items = 0;
    for (const ArgItem* a = c.syntax; a->kind != A_END; ++a, ++items) {
      ASSERT_LT(items, 40) << c.name << ": descriptor without End";
      if (a->kind == A_KEYWORD) {
        ASSERT_NE(a->table, nullptr) << c.name;
      }
      words += a->kind == A_POINT || a->kind == A_STR ? 2 : a->kind == A_COLOUR ? 3
             : a->kind <= A_COMMA ? 0 : 1;
    }
    EXPECT_LE(words, 13) << c.name;
    // The binary search of the table finds every row by its own name.
    std::string text = std::string("\r") + c.name + " ";
    g_pos = &text[1];
    EXPECT_EQ(lookup_command(), i) << c.name;
  }
}

TEST(Tables, KeywordOrderPutsUnderscoreBeforeDigitsBeforeLetters) {
  EXPECT_LT(compare_word("A_", "A0"), 0);
  EXPECT_LT(compare_word("A0", "AA"), 0);
  EXPECT_EQ(compare_word("goto", "GOTO"), 0);
  EXPECT_LT(compare_word("GOTO", "GOTOX"), 0);
  EXPECT_EQ(compare_word("GOTO(", "GOTO"), 0);
}

TEST(Arithmetic, LimitsAndMessages) {
  struct Case { char op; int32_t a, b; int msg; int32_t r; } cases[] = {
    {'+', 2147483647, 1, MSG_OVERFLOW, 0},
    {'+', -2147483647 - 1, -1, MSG_UNDERFLOW, 0},
    {'+', 2147483646, 1, MSG_NONE, 2147483647},
    {'-', -2147483647 - 1, 1, MSG_UNDERFLOW, 0},
    {'-', 2147483647, -1, MSG_OVERFLOW, 0},
    {'-', 0, -2147483647 - 1, MSG_OVERFLOW, 0},
    {'*', 65536, -65536, MSG_UNDERFLOW, 0},
    {'*', -65536, 65536, MSG_UNDERFLOW, 0},
    {'*', -65536, -65536, MSG_OVERFLOW, 0},
    {'*', -2147483647 - 1, 1, MSG_NONE, -2147483647 - 1},
    {'/', 7, -2, MSG_NONE, -3},
    {'/', -7, 2, MSG_NONE, -3},
    {'/', 1, 0, MSG_DIVIDE_BY_ZERO, 0},
    {'/', -2147483647 - 1, -1, MSG_OVERFLOW, 0},
  };
  for (const Case& c : cases) {
    g_error = MSG_NONE;
    int32_t r = 12345;
    bool ok = arithmetic(c.op, c.a, c.b, &r);
    EXPECT_EQ(ok, c.msg == MSG_NONE) << c.a << c.op << c.b;
    EXPECT_EQ(g_error, c.msg) << c.a << c.op << c.b;
    if (ok) {
      EXPECT_EQ(r, c.r);
    }
  }
}

TEST(Assignment, ValuesLiteralsUndefinedVariablesAndComments) {
  ScriptResult r = run_script(
      "P = 2147483647\nQ = -2147483648\nO = 0000000001\nX = 5\nSET Y = X - -1\nD = X * -3\nU = Undefined + 1\nA$ = \"ab\"\nA$ = A$ + A$\nB$ = A$ + Nothing$\n"
      "C$ = A$\nFREEVAR (A$)\nLEN (A$, N)\n"
      "{ a { b } c } K = 1 { \"x\" }\nS$ = \"two\nlines\"\nLEN (S$, L)\nZ = 1 + 2 + 3\n");
  EXPECT_EQ(r.msg, MSG_SYNTAX);  // "+ 3" is the next statement
  EXPECT_EQ(num("Z"), 3);
  EXPECT_EQ(num("P"), 2147483647);
  EXPECT_EQ(num("Q"), -2147483647 - 1);
  EXPECT_EQ(num("O"), 1);
  EXPECT_EQ(num("Y"), 6);
  EXPECT_EQ(num("D"), -15);
  EXPECT_EQ(num("U"), 1);
  EXPECT_EQ(str("B$"), "abab");
  EXPECT_EQ(str("C$"), "abab");
  EXPECT_EQ(num("N"), 0);
  EXPECT_EQ(num("K"), 1);
  EXPECT_EQ(str("S$"), "two\nlines");
  EXPECT_EQ(num("L"), 9);
}

// Every way a script is stopped: the caption of the error box (the message),
// the line it shows (literals with their quotes again), and, where given, a
// variable that the failed statement must have left alone.
TEST(Errors, CaptionLineAndTheValueLeftAlone) {
  struct Case {
    const char* script; const char* caption; const char* line;
    const char* var = nullptr; const char* keep = nullptr;  // a variable and the value it keeps
  };
  static const Case cases[] = {
    // numbers and arithmetic
    {"X = 2147483647\nY = 9\nY = X + 1\n", "Numeric overflow.", "Y = X + 1", "Y", "9"},
    {"X = -2147483648\n  Y = X - 1\n", "Numeric underflow.", "  Y = X - 1"},
    {"X = 5\nX = X / 0\n", "Divide by zero.", "X = X / 0", "X", "5"},
    {"X = 12345678901\n", "Number is too large or too small.", "X = 12345678901"},
    {"X = 2147483648\n", "Number is too large or too small.", "X = 2147483648"},
    {"X = 4294967295\n", "Number is too large or too small.", "X = 4294967295"},
    {"X = 1\nY = 3.\n", "Fractional number.", "Y = 3."},
    {"Y = 3.5\n", "Fractional number.", "Y = 3.5"},
    {"A = 1\nX = -A\n", "Invalid number.", "X = -A"},
    {"X = - 5\n", "Invalid number.", "X = - 5"},
    // on a later turn of a loop, from statements run again: as on the first
    {"N = 2147483640\nloop: N = N + 1\nIF N > 0 THEN GOTO loop\n", "Numeric overflow.", "loop: N = N + 1", "N",
     "2147483647"},
    {"N = -2147483640\nloop: SET N = N - 1\nGOTO loop\n", "Numeric underflow.", "loop: SET N = N - 1", "N",
     "-2147483648"},
    {"D = 3\nloop: D = D - 1\nX = 6 / D\nIF D > -5 THEN GOTO loop\n", "Divide by zero.", "X = 6 / D", "D", "0"},
    {"K = 0\nloop: K = K + 1\nIF K < 3 THEN GOSUB sub\nRETURN\nsub: GOTO loop\n", "RETURN without GOSUB.", "RETURN",
     "K", "3"},
    {"C = 250\nloop: USEPEN (SOLID, 1, 0, C, 0)\nC = C + 2\nGOTO loop\n", "Color value greater than 255.",
     "loop: USEPEN (SOLID, 1, 0, C, 0)", "C", "256"},
    // statements and the lexer
    {"X = 1 + 2 + 3\n", "Syntax error.", "X = 1 + 2 + 3"},
    {"X 5\n", "Syntax error.", "X 5"},
    {"X =\n", "Syntax error.", ""},  // an error at a line end shows an empty text
    {"A$ = \"a\" + \"b\" + \"c\"\n", "Syntax error.", "A$ = \"a\" + \"b\" + \"c\"", "A$", "ab"},
    {"GOTOX 5\n", "Syntax error.", "GOTOX 5", "GOTOX", "0"},
    {"FREEVARALL ()\n", "Syntax error.", "FREEVARALL ()"},
    {"X = 1\n{ a } }\n", "Syntax error.", "{ a } }"},
    {"X = 1\n{ open\n", "Unbalanced comment markers.", "{ open", "X", "0"},
    // labels
    {"GOSUB sub\nRETURN\nsub: RETURN\n", "RETURN without GOSUB.", "RETURN"},
    {"Start: X = 1\nSTART: X = 2\n", "Label is multidefined.", "START: X = 2", "X", "0"},
    {"{\nhidden: }\nS$ = \"\nquoted:\"\nGOTO hidden\nGOTO quoted\n", "Label not found.", "GOTO hidden"},
    {"  indented: X = 1\n", "Syntax error.", "  indented: X = 1"},
    // conditionals: the block scan reads the raw text
    {"IF 1 = 2\n  X = 1\nendif\nR$ = \"unreached\"\n", "IF without ENDIF.", "IF 1 = 2"},
    {"IF 1 = 2\n  R$ = \"ELSE\" \n  X = 1\nENDIF\n", "Syntax error.", "  R$ = \"ELSE\" ", "X", "0"},
    {"IF 1 = 2\n{ ENDIF } X = 1\nENDIF\n", "Syntax error.", "{ ENDIF } X = 1", "X", "0"},
    {"IF 1 = 2\nMYELSE = 1\nX = 5\nENDIF\n", "Syntax error.", "MYELSE = 1", "X", "0"},
    {"X = 1\nENDIF\n", "Syntax error.", "ENDIF"},
    {"X = 1\nSWITCH\n", "SWITCH is not supported.", "SWITCH"},
    {"IF \"a\" < 5 THEN X = 1\n", "Syntax error.", "IF \"a\" < 5 THEN X = 1"},
    // string commands: SUBSTR checks the count, then the start
    {"SUBSTR (\"abc\", 1, 4, T$)\n", "Starting location greater than string length.", "SUBSTR (\"abc\", 1, 4, T$)"},
    {"SUBSTR (\"abc\", 1, 0, T$)\n", "Starting location must be greater than 0.", "SUBSTR (\"abc\", 1, 0, T$)"},
    {"SUBSTR (\"abc\", -1, 0, T$)\n", "Number cannot be negative in this command.", "SUBSTR (\"abc\", -1, 0, T$)"},
    {"T$ = \"t\"\nCHR (256, T$)\n", "ANSI code must be from 0 to 255.", "CHR (256, T$)", "T$", "t"},
    {"CHR (-1, T$)\n", "ANSI code must be from 0 to 255.", "CHR (-1, T$)"},
    {"S$ = \"x\"\nPAD (S$, -1)\n", "Number cannot be negative in this command.", "PAD (S$, -1)", "S$", "x"},
    {"S$ = \"x\"\nSPACE (S$, -1)\n", "Number cannot be negative in this command.", "SPACE (S$, -1)", "S$", "x"},
    {"S$ = \"x\"\nT$ = \"t\"\nRIGHT (S$, -2, T$)\n", "Number cannot be negative in this command.",
     "RIGHT (S$, -2, T$)", "T$", "t"},
    {"S$ = \"x\"\nLEFT (S$, -2, S$)\n", "Number cannot be negative in this command.", "LEFT (S$, -2, S$)", "S$",
     "x"},
    {"LEFT (\"abc\", 1, T$)\n", "Syntax error.", "LEFT (\"abc\", 1, T$)"},
  };
  for (const Case& c : cases) {
    ScriptResult r = run_script(c.script);
    EXPECT_STREQ(msg_text(r.msg), c.caption) << c.script;
    EXPECT_EQ(r.line, c.line) << c.script;
    if (c.var) {
      std::string v(c.var);
      EXPECT_EQ(v.back() == '$' ? str(c.var) : std::to_string(num(c.var)), c.keep) << c.script;
    }
  }
  unload_script();
}

// Whichever allocation of an assignment fails, the variable holds a whole
// value, never a part of the new one (the messages per command: the
// allocation-failure families).
TEST(Memory, AFailedAssignmentLeavesAWholeValue) {
  int k = 1;
  for (; run_script("A$ = \"old\"\nA$ = \"new\" + \"er\"\n", k).injected; ++k) {
    std::string a = str("A$");
    EXPECT_TRUE(a == "" || a == "old" || (a == "newer" && g_last.msg == MSG_NONE)) << k << ": " << a;
    EXPECT_TRUE(g_last.msg == MSG_NONE || g_last.msg == MSG_NO_MEMORY) << k;
  }
  EXPECT_GT(k, 2);
  unload_script();
}

TEST(Variables, ManyNamesAndFreeingTheFirst) {
  std::string s;
  for (int i = 0; i < 10000; ++i) s += "V" + std::to_string(i) + " = " + std::to_string(i) + "\n";
  s += "R = V9999 + V0\nA$ = \"1\"\nB$ = \"2\"\nFREEVAR (A$)\nC$ = B$\nFREEVARALL\nD$ = C$\n";
  ScriptResult r = run_script(s);
  EXPECT_EQ(r.msg, MSG_NONE);
  EXPECT_EQ(num("R"), 9999);
  EXPECT_EQ(numvar_count(), 10001u);
  EXPECT_EQ(strvar_count(), 2u);  // C$ and D$ made anew after FREEVARALL
  EXPECT_FALSE(has_str("A$"));
  EXPECT_EQ(str("D$"), "");
  unload_script();
}

// Clean-up frees variables that name themselves by pointing into the script
// text; a script over a megabyte lives in memory that is unmapped when freed,
// so any read of a name after the text is gone faults here.
TEST(Variables, CleanupOfABigScriptReadsNoFreedText) {
  std::string s;
  for (int i = 0; i < 30000; ++i) s += "S" + std::to_string(i) + "$ = \"a literal of some length, number " + std::to_string(i) + "\"\n";
  ASSERT_GT(s.size(), 1u << 20);
  ScriptResult r = run_script(s);
  EXPECT_EQ(r.msg, MSG_NONE);
  EXPECT_EQ(strvar_count(), 30000u);
  cleanup();
  EXPECT_EQ(strvar_count(), 0u);
  EXPECT_EQ(g_script, nullptr);
}
