// The drawing tools as graphics objects: which character set a font ends in,
// what reaches the pen and brush, and that replacing a tool deletes the old
// object. Scripts see none of this directly.
#include <gtest/gtest.h>
#include <windows.h>
#include <ctype.h>
#include <string>
#include "graphics/surface.h"
#include "script_fixture.h"

static void fresh_tools() {
  if (!g_draw.surface) {
    measure_screen();
    ASSERT_TRUE(create_surface());
  }
  DrawingState& d = g_draw;
  if (d.pen_active) DeleteObject(d.pen);
  if (d.brush_active) DeleteObject(d.brush);
  if (d.font_active) DeleteObject(d.font);
  d.pen_active = d.brush_active = d.font_active = false;
  d.coord_mode = COORD_METRIC;
}

static LOGFONTA font_of_script(const std::string& text) {
  ScriptResult r = run_script(text);
  EXPECT_EQ(r.msg, MSG_NONE) << text;
  EXPECT_TRUE(g_draw.font_active);
  LOGFONTA lf = LOGFONTA();
  EXPECT_EQ(GetObjectA(g_draw.font, sizeof lf, &lf), (int)sizeof lf);
  return lf;
}

// The face that the font mapper gives for the symbol set when no face is asked for.
static std::string symbol_face() {
  HDC dc = GetDC(nullptr);
  HFONT f = CreateFontA(20, 0, 0, 0, 400, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0, "");
  HGDIOBJ prev = SelectObject(dc, f);
  char face[32] = "";
  GetTextFaceA(dc, sizeof face, face);
  SelectObject(dc, prev);
  DeleteObject(f);
  ReleaseDC(nullptr, dc);
  return face;
}

TEST(Fonts, CharacterSetSearchAndAttributes) {
  fresh_tools();
  // A face that the mapper gives in the symbol set is taken there (the face
  // check ignores case); the size is in millimetres.
  std::string face = symbol_face();
  ASSERT_FALSE(face.empty());
  for (char& c : face) c = (char)tolower((unsigned char)c);
  LOGFONTA lf = font_of_script("USEFONT (\"" + face + "\", 0, 10, BOLD, ITALIC, NOUNDERLINE, 1, 2, 3)");
  EXPECT_EQ(lf.lfCharSet, SYMBOL_CHARSET) << face;
  EXPECT_EQ(lf.lfHeight, metric_to_pixel_y(10));
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(lf.lfUnderline, 0);
  EXPECT_EQ(g_draw.text_colour, RGB(1, 2, 3));
  HFONT first = g_draw.font;

  // A face that no font has fails the face check in the symbol and OEM sets
  // and ends in the ANSI set; the old font is gone.
  lf = font_of_script("USEFONT (\"No Such Face\", 5, 10, NOBOLD, NOITALIC, UNDERLINE, 0, 0, 0)");
  EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
  EXPECT_STREQ(lf.lfFaceName, "No Such Face");
  EXPECT_EQ(lf.lfWidth, metric_to_pixel_x(5));
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(GetObjectType(first), 0u);

  // Numbers instead of keywords; the strike-out number is not used.
  lf = font_of_script("USECOORDINATES (PIXEL)\nUSEFONTEXT (\"No Such Face\", 0, 20, 650, 1, 1, 1, 0, 0, 0)");
  EXPECT_EQ(lf.lfHeight, 20);
  EXPECT_EQ(lf.lfWeight, 650);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfStrikeOut, 0);
  // The underline is the third number, not the fourth.
  lf = font_of_script("USEFONTEXT (\"No Such Face\", 0, 20, 650, 1, 0, 1, 0, 0, 0)");
  EXPECT_EQ(lf.lfUnderline, 0);
  fresh_tools();
}

TEST(Tools, PenAndBrushReachTheObjectsAndReplaceTheOldOnes) {
  fresh_tools();
  // The pen width is in pixels in METRIC mode too.
  EXPECT_EQ(run_script("USEPEN (DASH, 5, 10, 20, 30)").msg, MSG_NONE);
  ASSERT_TRUE(g_draw.pen_active);
  LOGPEN lp;
  ASSERT_EQ(GetObjectA(g_draw.pen, sizeof lp, &lp), (int)sizeof lp);
  EXPECT_EQ(lp.lopnStyle, (UINT)PS_DASH);
  EXPECT_EQ(lp.lopnWidth.x, 5);
  EXPECT_EQ(lp.lopnColor, RGB(10, 20, 30));
  HPEN pen = g_draw.pen;
  // A colour component of -1 counts as 255.
  EXPECT_EQ(run_script("USEPEN (SOLID, 1, -1, 0, 0)").msg, MSG_NONE);
  EXPECT_EQ(GetObjectType(pen), 0u);
  ASSERT_EQ(GetObjectA(g_draw.pen, sizeof lp, &lp), (int)sizeof lp);
  EXPECT_EQ(lp.lopnStyle, (UINT)PS_SOLID);
  EXPECT_EQ(lp.lopnColor, RGB(255, 0, 0));
  EXPECT_EQ(run_script("USEPEN (NULL, 1, 0, 0, 0)").msg, MSG_NONE);
  ASSERT_EQ(GetObjectA(g_draw.pen, sizeof lp, &lp), (int)sizeof lp);
  EXPECT_EQ(lp.lopnStyle, (UINT)PS_NULL);

  struct { const char* script; UINT style; ULONG_PTR hatch; } brushes[] = {
    {"USEBRUSH (SOLID, 1, 2, 3)", BS_SOLID, 0},
    {"USEBRUSH (DIAGONALUP, 1, 2, 3)", BS_HATCHED, HS_BDIAGONAL},
    {"USEBRUSH (DIAGONALDOWN, 1, 2, 3)", BS_HATCHED, HS_FDIAGONAL},
    {"USEBRUSH (CROSS, 1, 2, 3)", BS_HATCHED, HS_CROSS},
    // The system hands out its one hollow brush; it is last because it
    // cannot be deleted.
    {"USEBRUSH (NULL, 1, 2, 3)", BS_NULL, 0},
  };
  HBRUSH previous = nullptr;
  for (auto& b : brushes) {
    EXPECT_EQ(run_script(b.script).msg, MSG_NONE) << b.script;
    ASSERT_TRUE(g_draw.brush_active);
    LOGBRUSH lb;
    ASSERT_EQ(GetObjectA(g_draw.brush, sizeof lb, &lb), (int)sizeof lb);
    EXPECT_EQ(lb.lbStyle, b.style) << b.script;
    if (b.style == BS_HATCHED) {
      EXPECT_EQ(lb.lbHatch, b.hatch) << b.script;
    }
    if (b.style != BS_NULL) {
      EXPECT_EQ(lb.lbColor, RGB(1, 2, 3)) << b.script;
    }
    if (previous) {
      EXPECT_EQ(GetObjectType(previous), 0u) << b.script;
    }
    previous = g_draw.brush;
  }
  fresh_tools();
}
