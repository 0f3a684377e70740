// Random scripts made of the language's own pieces, whole, cut short and with
// stray characters, run through the real statement loop; a script that waits
// for input gets random clicks, keys and characters through the bindings'
// matchers. None may crash or hang; an error always names a known message
// and shows a line that the script really has; running the same text twice
// gives the same outcome (nothing depends on what an earlier script left
// behind); and a run whose allocations start failing still ends with a known
// message.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "graphics/surface.h"
#include "host/bindings.h"
#include "script_fixture.h"
#include "test_random.h"

namespace {

// Each kind of operand comes from a list of good ones and, now and then, from
// a list of bad ones, so that scripts get past their first lines.
struct Pool {
  std::vector<const char*> good, bad;
};
const char* pick(Rng& r, const Pool& p) {
  if (r.below(16) == 0) return p.bad[r.below((uint32_t)p.bad.size())];
  return p.good[r.below((uint32_t)p.good.size())];
}

const Pool kNums = {{"0", "1", "-1", "7", "N", "M", "2147483647", "-2147483648"},
                    {"4294967296", "99999999999", "-", "X$", "\"5\"", "3a", "(1)"}};
// Lengths stay small: a count of two thousand million spaces is a valid
// request that only costs time.
const Pool kCounts = {{"0", "1", "-1", "7", "300", "-2147483648"}, {"X$", "-", "\"5\""}};
const Pool kStrs = {{"\"\"", "\"abc\"", "\"a b\"", "S$", "T$", "U$", "\"x\" + S$"}, {"N", "S", "\"x\" + S$ + U$"}};
const Pool kRelops = {{"=", "<>", "<", ">", "<=", ">="}, {"=<", "><", "!", ""}};
const Pool kOps = {{"+", "-", "*", "/", ""}, {"%", "++"}};
const Pool kLabels = {{"L0", "L1", "L2", "L3"}, {"NOWHERE", "L0:"}};

std::string statement(Rng& r, int depth);

std::string string_command(Rng& r) {
  std::string s = pick(r, kStrs), n = pick(r, kCounts);
  switch (r.below(15)) {
    case 0: return "LEN (" + s + ", N)";
    case 1: return "SUBSTR (" + s + ", " + n + ", " + pick(r, kCounts) + ", T$)";
    case 2: return "LEFT (S$, " + n + ", T$)";
    case 3: return "RIGHT (T$, " + n + ", S$)";
    case 4: return "PAD (S$, " + n + ")";
    case 5: return "SPACE (U$, " + n + ")";
    case 6: return "VAL (" + s + ", N, M)";
    case 7: return "STR (" + n + ", S$)";
    case 8: return "CHR (" + n + ", T$)";
    case 9: return "INSTR (" + s + ", " + pick(r, kStrs) + ", N)";
    case 10: return "STRCMPI (" + s + ", " + pick(r, kStrs) + ", M)";
    case 11: return "UCASE (S$)";
    case 12: return "TRIM (T$)";
    case 13: return "FREEVAR (" + std::string(pick(r, kStrs)) + ")";
    default: return "FREEVARALL";
  }
}

// Regions and keys mostly cover the events the test sends (see below).
const Pool kCorners = {{"0", "10", "100"}, {"N", "-1", "2147483647", "X$"}};
const Pool kFarCorners = {{"200", "300", "N"}, {"0", "-2147483648", "\"5\""}};
const Pool kKeys = {{"65", "13", "\"a\"", "\"A\"", "\"^A\""}, {"S$", "\"\"", "-1", "300", "N"}};

std::string binding(Rng& r) {
  switch (r.below(5)) {
    case 0:
    case 1: {
      std::string t = r.below(2) ? "SETMOUSE (" : r.below(2) ? "SETRIGHTMOUSE (" : "SETDBLMOUSE (";
      for (uint32_t k = 1 + r.below(2); k > 0; --k) {
        t += std::string(pick(r, kCorners)) + ", " + pick(r, kCorners) + ", " + pick(r, kFarCorners) + ", " +
             pick(r, kFarCorners) + ", " + pick(r, kLabels) + ", X, Y" + (k > 1 ? ", " : "");
      }
      return t + ")";
    }
    case 2: {
      std::string t = "SETKEYBOARD (";
      for (uint32_t k = 1 + r.below(3); k > 0; --k)
        t += std::string(pick(r, kKeys)) + ", " + pick(r, kLabels) + (k > 1 ? ", " : "");
      return t + ")";
    }
    case 3: return r.below(2) ? "SETMOUSE ()" : "SETKEYBOARD ()";
    default: return r.below(2) ? "WAITINPUT ()" : std::string("WAITINPUT (") + pick(r, kCounts) + ")";
  }
}

std::string statement(Rng& r, int depth) {
  std::string a = pick(r, kNums), b = pick(r, kNums);
  switch (r.below(depth > 0 ? 12 : 15)) {
    case 0: return "N = " + a + " " + pick(r, kOps) + " " + b;
    case 1: return "S$ = " + std::string(pick(r, kStrs)) + " + " + pick(r, kStrs);
    case 2: return "GOTO " + std::string(pick(r, kLabels));
    case 3: return "GOSUB " + std::string(pick(r, kLabels));
    case 4: return "RETURN";
    case 5: return "END";
    case 6: return "SET M = " + a;
    case 7: return "{ " + std::string(pick(r, kStrs)) + " }";
    case 8: return "SWITCH";
    case 9: case 10: return string_command(r);
    case 11: return binding(r);
    case 12: return "IF " + a + " " + pick(r, kRelops) + " " + b + " THEN " + statement(r, depth + 1);
    case 13:
      return "IF " + std::string(pick(r, kStrs)) + " " + pick(r, kRelops) + " " + pick(r, kStrs) + " THEN " +
             statement(r, depth + 1) + (r.below(2) ? " ELSE " + statement(r, depth + 1) : "");
    default: return r.below(2) ? "IF " + a + " " + pick(r, kRelops) + " " + b + " THEN" : r.below(2) ? "ELSE" : "ENDIF";
  }
}

// A script that binds input and waits: bindings, WAITINPUT, then every label
// with a few statements and another WAITINPUT.
std::string waiting_script(Rng& r) {
  std::string text;
  for (uint32_t k = 1 + r.below(3); k > 0; --k) text += binding(r) + "\r\n";
  text += "WAITINPUT ()\r\n";
  for (int l = 0; l < 4; ++l) {
    text += "L" + std::to_string(l) + ": ";
    for (uint32_t k = r.below(3); k > 0; --k) text += statement(r, 0) + "\r\n";
    text += "WAITINPUT ()\r\n";
  }
  return text;
}

std::string random_script(Rng& r) {
  if (r.below(3) == 0) return waiting_script(r);
  std::string text;
  uint32_t lines = 1 + r.below(24), defined = 0;
  for (uint32_t i = 0; i < lines; ++i) {
    // Mostly each label once; now and then one twice.
    if (r.below(4) == 0) {
      uint32_t k = r.below(4);
      if (!(defined & 1u << k) || r.below(16) == 0) text += "L" + std::to_string(k) + ": ";
      defined |= 1u << k;
    }
    text += statement(r, 0);
    text += "\r\n";
  }
  // Stray characters and cuts: the pieces that most often break a reader.
  static const char kStray[] = "\"{}(),:$ -9AZ";
  for (uint32_t k = r.below(4) == 0 ? 1 + r.below(2) : 0; k > 0 && !text.empty(); --k) {
    size_t at = r.below((uint32_t)text.size());
    if (r.below(2))
      text.insert(at, 1, kStray[r.below(sizeof kStray - 1)]);
    else
      text.erase(at, 1);
  }
  if (r.below(6) == 0 && !text.empty()) text.resize(r.below((uint32_t)text.size()));
  return text;
}

// Whether the text has this whole line (lines end at CR or LF); an empty
// line is what an error at a line end shows.
bool has_line(std::string text, const std::string& line) {
  if (line.empty()) return true;
  for (char& c : text) c = c == '\r' ? '\n' : c;
  return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

// Endless loops are cut short after a few checks (the first comes before the
// first statement).
int s_checks = 0;
bool stop_after_a_few_checks() { return ++s_checks > 4; }

ScriptResult run_bounded(const std::string& text) {
  s_checks = 0;
  return run_script(text);
}

}  // namespace

TEST(RandomScripts, NeverCrashAndReportWhatTheScriptHas) {
  measure_screen();  // mouse bindings convert millimetres with the screen's size
  bool (*saved)() = g_break_requested;
  g_break_requested = stop_after_a_few_checks;
  Rng rng{0x7A5C0FFE};
  int errors = 0, refused = 0, matches = 0;
  for (int i = 0; i < 2000; ++i) {
    std::string text = random_script(rng);
    ScriptResult first = run_bounded(text);
    ASSERT_FALSE(g_script_running) << text;
    ASSERT_GE(first.msg, MSG_NONE) << text;
    ASSERT_LT(first.msg, MSG_COUNT) << text;
    if (!first.started) {
      ASSERT_NE(first.msg, MSG_NONE) << text;
      ++refused;
    }
    errors += first.msg != MSG_NONE;
    ASSERT_TRUE(first.msg == MSG_NONE || has_line(text, first.line)) << text << "\nshown: " << first.line;
    // A script that waits gets a few events, as the window would pass them
    // on: a binding that matches moves the script to its label and the
    // script runs again; one that does not leaves the position alone.
    ScriptResult latest = first;
    for (int e = 0; e < 4 && latest.msg == MSG_NONE && latest.started && !g_script_ended; ++e) {
      char* before = g_pos;
      static const uint32_t kCodes[] = {65, 13, 'a', 'A', 1, 0, 255};
      uint32_t what = rng.below(3), code = rng.below(4) ? kCodes[rng.below(7)] : rng.below(256);
      int32_t x = (int32_t)rng.below(700), y = (int32_t)rng.below(700);
      bool matched = what == 0   ? match_mouse(rng.below(2) ? BIND_LEFT : (int)rng.below(BIND_MOUSE_KINDS), x, y)
                     : what == 1 ? match_key(code)
                                 : match_char((unsigned char)code);
      if (!matched) {
        ASSERT_EQ(before, g_pos) << text;
        continue;
      }
      ++matches;
      ASSERT_TRUE(g_pos >= g_script && g_pos <= g_script + g_script_len) << text;
      s_checks = 0;
      run_statements();
      ASSERT_FALSE(g_script_running) << text;
      ASSERT_LT(g_last.msg, MSG_COUNT) << text;
      ASSERT_TRUE(g_last.msg == MSG_NONE || has_line(text, g_last.line)) << text << "\nshown: " << g_last.line;
      latest = g_last;
    }
    ScriptResult again = run_bounded(text);
    ASSERT_TRUE(again.msg == first.msg && again.line == first.line && again.started == first.started) << text;

    // The same text with allocations failing from a random point on.
    s_checks = 0;
    ScriptResult starved = run_script(text, 1 + (int)rng.below(40));
    ASSERT_GE(starved.msg, MSG_NONE) << text;
    ASSERT_LT(starved.msg, MSG_COUNT) << text;
  }
  unload_script();
  g_break_requested = saved;
  // The generator must reach both sides: scripts that fail and scripts that
  // the pre-scan refuses, as well as scripts that run clean.
  EXPECT_GT(errors, 200);
  EXPECT_LT(errors, 1900);
  EXPECT_GT(refused, 20);
  EXPECT_GT(matches, 50);
}
