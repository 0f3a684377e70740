// Allocation failure at every allocation: each script below runs once per
// allocation it makes, with exactly that allocation failing. Every run must
// end with the message of the place that failed (from the script's own list)
// or go on to the end with the same results as a run without failure, and
// after clean-up the number of live blocks must be what it was before.
#include <gtest/gtest.h>
#include <windows.h>
#include <fstream>
#include <string>
#include <vector>
#include "core/runtime.h"
#include "core/script.h"
#include "graphics/bitmap_files.h"
#include "graphics/surface.h"
#include "script_fixture.h"
#include "system/clipboard_dde.h"
#include "system/programs.h"

namespace {

struct Family {
  const char* name;
  std::string script;        // ends with DONE = 1 (then WAITINPUT where bindings must stay)
  std::vector<int> messages; // what a failing allocation may report
  bool window = false;       // runs with a main window (buttons and menus need one)
};

std::string word_at(const char* p) {
  std::string s;
  while (is_ident(*p)) s += *p++;
  return s;
}

// Every variable with its value: a run that went on must end in this state.
// A variable that does not exist reads as 0 or "", so those values are left
// out (a condition whose numeric reading failed for memory is read as text
// and leaves no numeric variable behind). Names starting with VOL_ hold what
// other processes change meanwhile (window titles): only their names count.
std::string snapshot() {
  std::string s;
  for (NumVar* v = first_numvar(); v; v = v->next)
    if (v->value) s += word_at(v->name) + "=" + std::to_string(v->value) + ";";
  for (StrVar* v = first_strvar(); v; v = v->next) {
    std::string name = word_at(v->name);
    if (name.rfind("VOL_", 0) == 0)
      s += name + "$;";
    else if (str_len(v))
      s += name + "$=" + std::string(v->text, str_len(v)) + ";";
  }
  return s;
}

// What a script leaves beyond variables, labels and bindings.
void release_everything() {
  unload_script();
  clear_bitmap_cache();
  release_processes();
  stop_dde();
}

// Boxes that let the script go on (GETBITMAPDIM's warning) are answered
// with OK from a timer that their modal loop runs; each one is counted.
int s_boxes = 0;

BOOL CALLBACK answer_box(HWND w, LPARAM) {
  char cls[16] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w)) {
    ++s_boxes;
    PostMessageA(w, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

void CALLBACK look_for_boxes(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), answer_box, 0); }

std::string temp_dir() {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + "tarvo_alloc\\";
}

// A 4 x 2 picture with 8 bits per pixel, as the bitmap commands read it.
void write_bitmap(const std::string& path) {
  BITMAPFILEHEADER fh = {0x4D42, 14 + 40 + 1024 + 8, 0, 0, 14 + 40 + 1024};
  BITMAPINFOHEADER h = {40, 4, 2, 1, 8, 0, 0, 0, 0, 0, 0};
  std::string f = std::string((const char*)&fh, 14) + std::string((const char*)&h, 40) + std::string(1024 + 8, '\0');
  std::ofstream(path, std::ios::binary) << f;
}

std::vector<Family> families(const std::string& dir) {
  const std::string q = "\"";
  return {
    {"variables, labels and conditionals",
     "A$ = \"one\"\nB$ = A$ + \" two\"\nN = 7\nGOSUB SUB\nIF N = 8\nC$ = B$ + B$\nELSE\nC$ = \"no\"\nENDIF\n"
     "IF C$ = \"one twoone two\" THEN D$ = \"yes\"\nFREEVAR (A$)\nE$ = \"e\"\nGOTO LAST\nSUB:\nN = N + 1\n"
     "RETURN\nLAST:\nDONE = 1\n",
     {MSG_NO_MEMORY}},
    {"string commands",
     "A$ = \"  Mixed Case  \"\nUCASE (A$)\nLCASE (A$)\nTRIM (A$)\nPAD (A$, 3)\nSPACE (S$, 5)\nCHR (65, C$)\n"
     "LEN (A$, L)\nINSTR (A$, \"case\", I)\nSTRCMP (A$, S$, K)\nSTRCMPI (A$, S$, K2)\nANSI (C$, N)\n"
     "VAL (\"123\", V, OK)\nSTR (-45, T$)\nLEFT (A$, 4, LT$)\nRIGHT (A$, 4, RT$)\nSUBSTR (A$, 3, 2, SB$)\n"
     "DONE = 1\n",
     {MSG_NO_MEMORY, MSG_NO_MEMORY_REALLOC}},
    {"drawing tools, shapes and text",
     "USECOORDINATES (PIXEL)\nUSEPEN (SOLID, 2, 255, 0, 0)\nUSEBRUSH (SOLID, 0, 255, 0)\n"
     "USEFONT (\"Arial\", 0, 12, BOLD, NOITALIC, NOUNDERLINE, 0, 0, 0)\nUSEBACKGROUND (TRANSPARENT, 1, 2, 3)\n"
     "DRAWLINE (1, 1, 20, 20)\nDRAWRECTANGLE (1, 1, 9, 9)\nDRAWELLIPSE (0, 0, 2147483647, 100)\n"
     "DRAWPIE (1, 1, 30, 30, 0, 0, 30, 30)\nDRAWTEXT (5, 5, \"text\")\nDRAWNUMBER (5, 20, -12)\n"
     "DRAWTEXTEXT (0, 0, 100, 100, \"a b c\", LEFT)\nGETPIXEL (2, 2, R, G, B, F)\nDRAWBACKGROUND\nDONE = 1\n",
     {MSG_NO_MEMORY}},
    {"bitmap files and icons",
     "USECOORDINATES (PIXEL)\nA$ = " + q + dir + "a.bmp" + q + "\nDRAWBITMAP (0, 0, A$)\n"
     "DRAWSIZEDBITMAP (0, 0, -2147483648, 1, A$)\nGETBITMAPDIM (A$, H, W, BITS)\nFREEBITMAP (A$)\n"
     "DRAWBITMAPEXT (1, 1, A$, HALFTONE)\nFREEBITMAPALL\nDRAWICON (0, 0, -2147483648, 1, STOP)\nDONE = 1\n",
     // A record or its name that cannot be had ends the command with no
     // message of its own.
     {MSG_NO_MEMORY, MSG_NOT_BITMAP, MSG_BITMAP_LOAD, MSG_NONE}},
    {"files, directories and INI files",
     "D$ = " + q + dir + q + "\nDIRGET (OLD$)\nDIRCHANGE (D$, OK)\nDIRMAKE (\"sub\", OK)\nFILECOPY (\"a.bmp\", \"sub\\b.bmp\", OK)\n"
     "FILEEXIST (\"sub\\b.bmp\", E)\nFILEGETSIZE (\"sub\\b.bmp\", SZ)\nFILENAME (\"c:\\x\\y.txt\", N$, OK)\n"
     "FILEPATH (\"c:\\x\\y.txt\", P$, OK)\nFILEEXTENSION (\"c:\\x\\y.txt\", X$, OK)\n"
     "FILEWRITE_INI (\"" + dir + "t.ini\", \"s\", \"k\", \"value\", OK)\nFILEREAD_INI (\"" + dir + "t.ini\", \"s\", \"k\", V$)\n"
     "FILEREAD_INI (\"" + dir + "t.ini\", \"\", \"\", L$)\nFILEDELETE (\"sub\\b.bmp\", OK)\nDIRREMOVE (\"sub\", OK)\n"
     "DIRCHANGE (OLD$, OK)\nDIRGETWINDOWS (W$)\nDONE = 1\n",
     {MSG_NO_MEMORY, MSG_NO_MEMORY_REALLOC, MSG_INI_READ}},
    {"windows, clipboard, DDE and programs",
     "ENUMWINDOWS (VOL_ALL$, ALL, \",\")\nWINGETACTIVE (VOL_ACT$)\nWINEXIST (\"no such window\", E)\n"
     "CLIPBOARDPUT (\"abc\", OK)\nCLIPBOARDAPPEND (\"def\", OK)\nCLIPBOARDGET (C$, OK)\n"
     "DDEINITIATE (\"NoSuchService\", \"NoTopic\", CONV)\nGETCMDLINE (CMD$)\n"
     "RUNEXT (\"cmd.exe /c rem\", NORMAL, \"X=1\", \"\", 0, 0, 100, 100, NOWAIT, 0)\nDONE = 1\n",
     // GETCMDLINE without room for the text fails with no message of its own.
     {MSG_NO_MEMORY, MSG_NONE}},
    {"bindings and menus",
     "SETMOUSE (0, 0, 10, 10, M, X, Y)\nSETKEYBOARD (\"a\", K, 65, K)\nBUTTON (0, 0, 2147483647, 20, \"Go\", B)\n"
     "SETMENU (\"&File\", IGNORE, \"&Open\", M, ENDPOPUP)\nDONE = 1\nWAITINPUT ()\nM:\nK:\nB:\n",
     {MSG_NO_MEMORY}, true},
  };
}

}  // namespace

TEST(AllocationFailure, EveryAllocationOfEveryFamilyFailsCleanly) {
  if (!g_draw.surface) {
    measure_screen();
    ASSERT_TRUE(create_surface());
  }
  std::string dir = temp_dir();
  CreateDirectoryA(dir.c_str(), nullptr);
  write_bitmap(dir + "a.bmp");
  start_dde();
  release_everything();
  const long baseline = mem_live_blocks();

  for (const Family& f : families(dir)) {
    ASSERT_EQ(g_mainwnd, nullptr);
    if (f.window)
      g_mainwnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 99, 99, nullptr, nullptr, nullptr, nullptr);
    start_dde();
    ScriptResult clean = run_script(f.script);
    ASSERT_EQ(clean.msg, MSG_NONE) << f.name << ": " << clean.line;
    ASSERT_EQ(num("DONE"), 1) << f.name;
    const std::string expected = snapshot();
    release_everything();
    ASSERT_EQ(mem_live_blocks(), baseline) << f.name << ": the clean run leaves blocks behind";

    int n = 1;
    for (;; ++n) {
      ASSERT_LT(n, 2000) << f.name;
      start_dde();
      s_boxes = 0;
      UINT_PTR timer = SetTimer(nullptr, 0, 30, look_for_boxes);
      ScriptResult r = run_script(f.script, n);
      KillTimer(nullptr, timer);
      if (!r.injected) break;  // the script made fewer than n allocations
      bool finished = r.msg == MSG_NONE && num("DONE") == 1;
      if (finished && s_boxes) {
        // Went on after a warning box: only GETBITMAPDIM does that, and its
        // variables then hold 0.
        EXPECT_EQ(num("W"), 0) << f.name << ", allocation " << n;
      } else if (finished) {
        EXPECT_EQ(snapshot(), expected) << f.name << ", allocation " << n << " failed and the script went on";
      } else {
        bool listed = false;
        for (int m : f.messages) listed |= m == r.msg;
        EXPECT_TRUE(listed) << f.name << ", allocation " << n << ": message " << r.msg << " \""
                            << msg_text(r.msg) << "\" at " << r.line;
      }
      release_everything();
      EXPECT_EQ(mem_live_blocks(), baseline) << f.name << ", allocation " << n << " failed: blocks leaked";
    }
    // Every family allocates: otherwise it tests nothing.
    EXPECT_GT(n, 2) << f.name;
    if (f.window) {
      DestroyWindow(g_mainwnd);
      g_mainwnd = nullptr;
    }
  }
}
