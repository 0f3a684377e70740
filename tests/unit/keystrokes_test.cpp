// Keystroke strings item by item, and the hook listener: its report
// handlers per mode and its checks on WM_COPYDATA from other processes.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "core/errors.h"
#include "core/runtime.h"
#include "core/script.h"
#include "host/hook_listener.h"
#include "host/keystrokes.h"
#include "script_fixture.h"

// The items of a keystroke string as text: "%" "^" "+" for the prefixes,
// c<code>x<count> for a character (b<code>x<count> when braced),
// k<code>x<count> for a named key; an error ends it with "!<message>".
static std::string items(const std::string& keys) {
  std::string buf = keys;
  char* saved = g_pos;
  g_pos = &buf[0];
  const char* end = buf.data() + buf.size();
  g_error = MSG_NONE;
  std::string out;
  for (int n = 0; n < 64; ++n) {
    KeyItem it;
    if (!read_key_item(end, &it)) {
      out += "!" + std::to_string(g_error);
      break;
    }
    if (it.kind == KEY_END) break;
    if (!out.empty()) out += " ";
    switch (it.kind) {
      case KEY_ALT: out += "%"; break;
      case KEY_CTRL: out += "^"; break;
      case KEY_SHIFT: out += "+"; break;
      default:
        out += (it.kind == KEY_NAMED ? "k" : it.braced ? "b" : "c") + std::to_string(it.code) + "x" +
               std::to_string(it.count);
    }
  }
  g_pos = saved;
  return out;
}

TEST(Keystrokes, EveryKeyNameInEitherCaseWithAndWithoutCount) {
  struct Name { const char* name; int code; } names[] = {
      {"BACKSPACE", 8}, {"BS", 8}, {"BREAK", 3}, {"CAPSLOCK", 20}, {"CLEAR", 12}, {"DEL", 46}, {"DELETE", 46},
      {"DOWN", 40}, {"D", 40}, {"END", 35}, {"ENTER", 13}, {"ESC", 27}, {"ESCAPE", 27}, {"HELP", 47},
      {"HOME", 36}, {"INSERT", 45}, {"LEFT", 37}, {"L", 37}, {"NUMLOCK", 144}, {"PGDN", 34}, {"PGUP", 33},
      {"PRTSC", 44}, {"RIGHT", 39}, {"R", 39}, {"SCROLLLOCK", 145}, {"SPACE", 32}, {"SP", 32}, {"TAB", 9},
      {"UP", 38}, {"U", 38}};
  std::vector<Name> all(std::begin(names), std::end(names));
  static char fkeys[24][4];
  for (int n = 1; n <= 24; ++n) {
    snprintf(fkeys[n - 1], sizeof fkeys[0], "F%d", n);
    all.push_back({fkeys[n - 1], 111 + n});
  }
  ASSERT_EQ(all.size(), 54u);
  for (const Name& k : all) {
    std::string upper = k.name, lower;
    for (char c : upper) lower += (char)tolower(c);
    std::string code = std::to_string(k.code);
    EXPECT_EQ(items("{" + upper + "}"), "k" + code + "x1") << upper;
    EXPECT_EQ(items("{" + lower + "}"), "k" + code + "x1") << lower;
    EXPECT_EQ(items("{" + lower + " 3}"), "k" + code + "x3") << lower;
    EXPECT_EQ(key_name_code(upper.data(), (uint32_t)upper.size()), k.code);
  }
  for (const char* no : {"F0", "F25", "F100", "ENTE", "ENTERS", "X", "F1A"})
    EXPECT_EQ(key_name_code(no, (uint32_t)strlen(no)), -1) << no;
}

TEST(Keystrokes, PlainPrefixedBracedAndCountedItems) {
  struct Case { const char* keys; const char* items; } cases[] = {
      {"", ""},
      {"aZ 1", "c97x1 c90x1 c32x1 c49x1"},
      {"+^%a~", "+ ^ % c97x1 k13x1"},
      {"}\t\x80", "c125x1 c9x1 c128x1"},
      {"{+}{%}{^}{~}{{}{}}", "b43x1 b37x1 b94x1 b126x1 b123x1 b125x1"},
      {"{+ 3}{} 2}", "b43x3 b125x2"},
      {"{a 3}{1 2}{_ 1}{  4}", "b97x3 b49x2 b95x1 b32x4"},
      {"{x \t| 7 \t}", "b120x7"},
      {"{q -5}{q 0}{D 2}{d 2}", "b113x-5 b113x0 k40x2 k40x2"},
      {"{F12}{f12}x", "k123x1 k123x1 c120x1"},
      {"{TAB}+a", "k9x1 + c97x1"},
      {"{ENTER nothing}", "k13x0"},  // an unknown variable counts as 0
  };
  for (const Case& c : cases) EXPECT_EQ(items(c.keys), c.items) << c.keys;
}

TEST(Keystrokes, MalformedStringsAndTheirMessages) {
  std::string repeat = "!" + std::to_string(MSG_KEY_REPEAT), bad = "!" + std::to_string(MSG_KEYSTROKES);
  struct Case { const char* keys; std::string items; } cases[] = {
      {"{a}", repeat},          {"{", repeat},          {"ab{", "c97x1 c98x1" + repeat},
      {"{ENTER", repeat},       {"{ENTER 2", repeat},   {"{ENTER 2 x", repeat},
      {"{ENTERX}", repeat},     {"{HOME-}", repeat},    {"{+x}", repeat},
      {"{ 5}", repeat},         {"{a 1 2}", repeat},    {"{a 3", repeat},
      {"{a -1}", bad},          {"{a ,}", bad},         {"{a }", bad},
      {"{a -}", bad},           {"{a 1.5}", bad},       {"{a 99999999999}", bad},
      {"{TAB ", bad},           {"{a 2}{b}", "b97x2" + repeat},
  };
  for (const Case& c : cases) EXPECT_EQ(items(c.keys), c.items) << c.keys;
}

TEST(Keystrokes, CountsFromVariables) {
  // C exists; the string held by a variable names it.
  ScriptResult r = run_script("C = 4\r\nK = 0\r\n");
  ASSERT_EQ(r.msg, MSG_NONE);
  uint32_t before = numvar_count();
  EXPECT_EQ(items("{ENTER C}{x c}{y K}{z unknown}"), "k13x4 b120x4 b121x0 b122x0");
  EXPECT_EQ(numvar_count(), before);  // text outside the script makes no variables
  unload_script();
}

// The listener's handlers, fed reports directly. Windows of this process
// stand for the target and its children.
TEST(HookListener, ReportsPerMode) {
  HWND top = CreateWindowExA(0, "STATIC", "top", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                             nullptr);
  HWND child = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 20, 20, top, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  ASSERT_TRUE(top && child && other);
  // In the rows, T, C and O stand for the target, its child and another
  // window, in any column. A row reports a message (when it names a window)
  // and then checks one field (when it names one).
  const uint32_t win[4] = {0, window_value(top), window_value(child), window_value(other)};
  const uint32_t T = 0xA0000001, C = 0xA0000002, O = 0xA0000003;
  auto real = [&](uint32_t v) { return (v >> 24) == 0xA0 ? win[v & 3] : v; };
  using Field = volatile uint32_t SendState::*;
  struct Row { uint32_t from, msg, wp, lp; Field field; uint32_t want; };
  auto run = [&](uint32_t mode, uint32_t destination, std::initializer_list<Row> rows) {
    g_send = SendState();
    g_send.target = real(T);
    g_send.destination = real(destination);
    g_send.mode = mode;
    int n = 0;
    for (const Row& r : rows) {
      ++n;
      if (r.from) handle_hook_report(real(r.from), r.msg, real(r.wp), real(r.lp));
      uint32_t got = r.field ? (uint32_t)(g_send.*r.field) : 0;
      if (r.field) EXPECT_EQ(got, real(r.want)) << "mode " << mode << ", row " << n;
    }
  };
  // Focus search: the loss of focus counts only after the target's
  // application was deactivated, and only for a child of the target; a
  // target that goes away is followed to the next new window.
  run(MODE_FOCUS, 0, {{C, WM_KILLFOCUS, 0, 0, &SendState::focus_found, 0},
                      {T, WM_ACTIVATEAPP, 0, 0, nullptr, 0},
                      {O, WM_KILLFOCUS, 0, 0, &SendState::focus_found, 0},
                      {C, WM_KILLFOCUS, 0, 0, &SendState::focus_found, 1},
                      {0, 0, 0, 0, &SendState::destination, C},
                      {T, WM_DESTROY, 0, 0, nullptr, 0},
                      {O, WM_NCCREATE, 0, 1234, &SendState::target, O},
                      {0, 0, 0, 0, &SendState::replaced, 0}});
  // Character send: a menu opens and closes; the target cancelled and a new
  // window made; the report counter.
  run(MODE_CHAR, C, {{T, WM_INITMENUPOPUP, 5, 0, &SendState::menu_mode, 1},
                     {T, WM_MENUSELECT, 0xFFFF0000u, 1, &SendState::menu_mode, 1},
                     {T, WM_MENUSELECT, 0xFFFF0000u, 0, &SendState::menu_mode, 0},
                     {O, WM_NCCREATE, 0, 0, &SendState::replacement, 0},
                     {T, WM_CANCELMODE, 0, 0, nullptr, 0},
                     {O, WM_NCCREATE, 0, 0, &SendState::replacement, O},
                     {0, 0, 0, 0, &SendState::reports, 6}});
  // Key send: the focus moving on, the target deactivated in favour of another.
  run(MODE_KEY, C, {{C, WM_KILLFOCUS, T, 0, &SendState::destination, C},
                    {C, WM_KILLFOCUS, O, 0, &SendState::destination, O},
                    {O, WM_ACTIVATE, 1, 0, &SendState::last_other, O},
                    {T, WM_DESTROY, 0, 0, &SendState::replaced, 1},
                    {0, 0, 0, 0, &SendState::replacement, O},
                    {T, WM_ACTIVATE, WA_INACTIVE, C, &SendState::replacement, C}});
  g_send = SendState();
  DestroyWindow(child);
  DestroyWindow(top);
  DestroyWindow(other);
}

// WM_COPYDATA comes from any process: only two 32-bit values, with data,
// during a hook cycle, make a report.
TEST(HookListener, CopyDataIsCheckedBeforeUse) {
  if (!g_inst) g_inst = GetModuleHandleA(nullptr);
  wait_hook_listener();  // an earlier test may have started it
  if (!g_hook_window) {
    ASSERT_TRUE(start_hook_listener());
    wait_hook_listener();
  }
  HWND hw = g_hook_window;
  ASSERT_NE(hw, nullptr);
  uint32_t values[3] = {0, 0, 0};
  struct Case { DWORD size; bool data; bool cycle; uint32_t counted; } cases[] = {
      {8, true, true, 1}, {4, true, true, 0}, {12, true, true, 0}, {8, false, true, 0}, {8, true, false, 0},
  };
  for (const Case& c : cases) {
    g_send = SendState();
    g_send.mode = MODE_KEY;
    g_send.dispatch = c.cycle;
    SetWindowWord(hw, 0, c.cycle ? 1 : 0);
    COPYDATASTRUCT cd = {WM_USER, c.size, c.data ? values : nullptr};
    EXPECT_TRUE(SendMessageA(hw, WM_COPYDATA, 0, (LPARAM)&cd));
    EXPECT_EQ(g_send.reports, c.counted) << c.size << " " << c.data << " " << c.cycle;
  }
  SetWindowWord(hw, 0, 0);
  g_send = SendState();
}
