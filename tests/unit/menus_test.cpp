// Menus: the shape of the bar that SETMENU builds, the matcher's numbering
// against the builder's, and which item the text commands pick. Scripts see
// none of this directly, so the menu objects are read here.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <string>
#include "core/runtime.h"
#include "host/menus.h"
#include "script_fixture.h"

// "text=id" for commands, "text{...}" for popups, "-" for separators, ">"
// after a right-justified entry.
static std::string describe(HMENU menu) {
  std::string out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[100] = "";
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    mi.dwTypeData = text;
    mi.cch = sizeof text;
    GetMenuItemInfoA(menu, (UINT)i, TRUE, &mi);
    out += i ? " " : "";
    if (mi.fType & MFT_SEPARATOR) { out += "-"; continue; }
    out += std::string(text) + (mi.fType & MFT_RIGHTJUSTIFY ? ">" : "");
    out += mi.hSubMenu ? "{" + describe(mi.hSubMenu) + "}" : "=" + std::to_string(mi.wID);
  }
  return out;
}

// Runs the script (ending in WAITINPUT, so that the window survives) with a
// hidden top-level window as the main window; returns the window's menu.
static std::string menu_after(const char* script) {
  if (!g_mainwnd)
    g_mainwnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 99, 99, nullptr, nullptr, nullptr, nullptr);
  ScriptResult r = run_script(script);
  if (r.msg != MSG_NONE) return "error: " + r.line;
  HMENU m = GetMenu(g_mainwnd);
  return m ? describe(m) : "none";
}

static void close_window() {
  DestroyWindow(g_mainwnd);
  g_mainwnd = nullptr;
}

TEST(Menus, BuilderAndMatcherNumberItemsAlike) {
  EXPECT_EQ(menu_after("SETMENU (\"&File\", IGNORE, SEPARATOR, \"&Open\", O, SEPARATOR, \"E&xit\", X,\n"
                       "  SEPARATOR, ENDPOPUP, \"&Bar\", B, SEPARATOR, ENDPOPUP, \"&Help\", IGNORE,\n"
                       "  \"&About\", A, ENDPOPUP)\nWAITINPUT ()\nO:\nX:\nB:\nA:\n"),
            "&File{- &Open=2 - E&xit=3 -} &Bar=4 &Help{&About=6} &Info>{&About Tarvo...=55555}");
  char* waiting = g_pos;
  struct { uint16_t id; int label; } hits[] = {{2, 0}, {3, 1}, {4, 2}, {6, 3}};  // O X B A
  for (auto h : hits) {
    g_pos = waiting;
    EXPECT_TRUE(match_menu(h.id)) << h.id;
    EXPECT_EQ(g_pos, waiting + 1 + 3 * h.label) << h.id;
  }
  // IGNORE titles and ids past the last item leave the position alone.
  for (uint16_t id : {1, 5, 7, 30000}) {
    g_pos = waiting;
    EXPECT_FALSE(match_menu(id)) << id;
    EXPECT_EQ(g_pos, waiting) << id;
  }
  // A failing SETMENU leaves the window's menu as it was.
  std::string before = menu_after("SETMENU (\"&A\", IGNORE, \"x\", L, ENDPOPUP)\nWAITINPUT ()\n"
                                  "SETMENU (\"&B\", IGNORE, \"z\", Missing, ENDPOPUP)\nL:\n");
  g_pos = std::strstr(g_pos, "SETMENU") + 7;
  EXPECT_FALSE(stmt_setmenu());
  EXPECT_EQ(g_error, MSG_LABEL_NOT_FOUND);
  EXPECT_EQ(describe(GetMenu(g_mainwnd)), before);
  close_window();
}

TEST(Menus, BoundRuntimeWording) {
  g_bound = true;
  EXPECT_EQ(menu_after("SETMENU ()\nWAITINPUT ()\n"), "&Info>{&About Tarvo Runtime...=55555}");
  g_bound = false;
  // The start-up menu's About item is retitled in place.
  HMENU bar = CreateMenu(), info = CreateMenu();
  AppendMenuA(info, MF_STRING, 55555, "&About Tarvo 4.0...");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)info, "&Info");
  DestroyMenu(GetMenu(g_mainwnd));
  SetMenu(g_mainwnd, bar);
  retitle_about_item();
  EXPECT_EQ(describe(GetMenu(g_mainwnd)), "&Info{&About Tarvo Runtime...=55555}");
  close_window();
}

TEST(Menus, TextCommandsPickTheRightmostPopupsLowestItem) {
  menu_after("SETMENU (\"&A\", IGNORE, \"Same\", L, \"Same\", L, ENDPOPUP, \"&B\", IGNORE,\n"
             "  \"Same\", L, \"Same\", L, \"Other\", L, ENDPOPUP, \"Same\", L, ENDPOPUP)\n"
             "CHANGEMENUITEM (\"Same\", CHECK, R1)\nCHANGEMENUITEM (\"Same\", GRAY, R2)\n"
             "GETMENUSTATUS (\"Same\", CHECKED, R3)\nWAITINPUT ()\nL:\n");
  EXPECT_EQ(num("R1") + num("R2") + num("R3"), 3);
  HMENU m = GetMenu(g_mainwnd);
  HMENU a = GetSubMenu(m, 0), b = GetSubMenu(m, 1);
  std::string states;
  for (auto at : {std::make_pair(a, 0), {a, 1}, {b, 0}, {b, 1}, {m, 2}})
    states += std::to_string(GetMenuState(at.first, (UINT)at.second, MF_BYPOSITION) & 9);
  // Only the lower "Same" of &B is checked (8) and grayed (1); the bar's
  // own "Same" command is never looked at.
  EXPECT_EQ(states, "00090");
  close_window();
}
