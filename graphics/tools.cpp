// Drawing tools: the script's pen, brush, text background and font, and the
// font dialog. Each tool is one graphics object owned by the drawing state;
// it is selected into both DCs of the open scope, the object it displaced is
// kept so that closing the scope can put it back, and the next command of the
// same kind deletes it.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include "graphics/surface.h"
#include "system/system_libraries.h"
#include <windows.h>
#include <commdlg.h>
#include <string.h>

// Puts obj into both DCs. When the surface DC refuses it, the window DC gets
// its displaced object back, so that a failure leaves both DCs as they were.
static bool select_both(HGDIOBJ obj, HGDIOBJ* wprev, HGDIOBJ* sprev) {
  HGDIOBJ w = SelectObject(g_draw.wdc, obj);
  if (!w || w == HGDI_ERROR) return false;
  HGDIOBJ s = SelectObject(g_draw.sdc, obj);
  if (!s || s == HGDI_ERROR) {
    SelectObject(g_draw.wdc, w);
    return false;
  }
  *wprev = w;
  *sprev = s;
  return true;
}

// Gives both DCs back what the script's object displaced and deletes it.
static void release_tool(bool* active, HGDIOBJ obj, HGDIOBJ wprev, HGDIOBJ sprev) {
  if (!*active) return;
  SelectObject(g_draw.wdc, wprev);
  SelectObject(g_draw.sdc, sprev);
  DeleteObject(obj);
  *active = false;
}

// ---- pen and brush

static const KeywordRow s_pen_styles[] = {
  {"SOLID", PS_SOLID}, {"NULL", PS_NULL}, {"DASH", PS_DASH}, {"DOT", PS_DOT},
  {"DASHDOT", PS_DASHDOT}, {"DASHDOTDOT", PS_DASHDOTDOT}, {nullptr, 0}};
// The width is in pixels whatever the coordinate mode.
const ArgItem SYN_usepen[] = {LP_, KW_(s_pen_styles), CM_, NUM_, CM_, COLOUR_, RP_, END_};
bool cmd_usepen() {
  DrawingState& d = g_draw;
  release_tool(&d.pen_active, d.pen, d.wdc_prev_pen, d.sdc_prev_pen);
  HPEN pen = CreatePen(arg_num(0), arg_num(1), arg_colour(2));
  HGDIOBJ wprev, sprev;
  if (!pen || !select_both(pen, &wprev, &sprev)) {
    if (pen) DeleteObject(pen);
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  d.pen = pen;
  d.wdc_prev_pen = (HPEN)wprev;
  d.sdc_prev_pen = (HPEN)sprev;
  d.pen_active = true;
  return true;
}

// 0x62 and 0x63 are the runtime's own codes for a solid and a hollow brush;
// the other values are the hatch styles.
enum { BRUSH_SOLID = 0x62, BRUSH_HOLLOW = 0x63 };
static const KeywordRow s_brush_styles[] = {
  {"SOLID", BRUSH_SOLID}, {"NULL", BRUSH_HOLLOW}, {"DIAGONALUP", HS_BDIAGONAL},
  {"DIAGONALDOWN", HS_FDIAGONAL}, {"DIAGONALCROSS", HS_DIAGCROSS}, {"HORIZONTAL", HS_HORIZONTAL},
  {"VERTICAL", HS_VERTICAL}, {"CROSS", HS_CROSS}, {nullptr, 0}};
const ArgItem SYN_usebrush[] = {LP_, KW_(s_brush_styles), CM_, COLOUR_, RP_, END_};
bool cmd_usebrush() {
  DrawingState& d = g_draw;
  release_tool(&d.brush_active, d.brush, d.wdc_prev_brush, d.sdc_prev_brush);
  int32_t style = arg_num(0);
  COLORREF colour = arg_colour(1);
  HBRUSH brush;
  if (style == BRUSH_SOLID) {
    brush = CreateSolidBrush(colour);
  } else if (style == BRUSH_HOLLOW) {
    LOGBRUSH lb = {BS_NULL, colour, 0};
    brush = CreateBrushIndirect(&lb);
  } else {
    brush = CreateHatchBrush(style, colour);
  }
  HGDIOBJ wprev, sprev;
  if (!brush || !select_both(brush, &wprev, &sprev)) {
    if (brush) DeleteObject(brush);
    set_error_only(MSG_NO_MEMORY);
    return false;
  }
  d.brush = brush;
  d.wdc_prev_brush = (HBRUSH)wprev;
  d.sdc_prev_brush = (HBRUSH)sprev;
  d.brush_active = true;
  return true;
}

// The mode and colour behind text and hatch lines; the colour is also the one
// DRAWBACKGROUND paints with. Kept in the drawing state so that every later
// scope starts with them.
static const KeywordRow s_bk_modes[] = {{"OPAQUE", OPAQUE}, {"TRANSPARENT", TRANSPARENT}, {nullptr, 0}};
const ArgItem SYN_usebackground[] = {LP_, KW_(s_bk_modes), CM_, COLOUR_, RP_, END_};
bool cmd_usebackground() {
  DrawingState& d = g_draw;
  d.bk_mode = arg_num(0);
  d.bk_colour = arg_colour(1);
  SetBkMode(d.wdc, d.bk_mode);
  SetBkColor(d.wdc, d.bk_colour);
  SetBkMode(d.sdc, d.bk_mode);
  SetBkColor(d.sdc, d.bk_colour);
  // Wine's DIB driver prepares a hatch brush's gaps once, at the first fill
  // after the brush was selected, and does not look at later background
  // changes. Selecting the brush again makes the next fill use the new mode
  // and colour, as the system does by itself elsewhere.
  if (d.brush_active) {
    SelectObject(d.wdc, d.brush);
    SelectObject(d.sdc, d.brush);
  }
  return true;
}

// ---- fonts

// Makes the font the script font in both DCs. The caller deletes the font
// when this fails.
static bool select_font(HFONT font) {
  DrawingState& d = g_draw;
  HGDIOBJ wprev, sprev;
  if (!select_both(font, &wprev, &sprev)) return false;
  d.font = font;
  d.wdc_prev_font = (HFONT)wprev;
  d.sdc_prev_font = (HFONT)sprev;
  d.font_active = true;
  return true;
}

static void drop_font() {
  DrawingState& d = g_draw;
  release_tool(&d.font_active, d.font, d.wdc_prev_font, d.sdc_prev_font);
}

// True when the font mapper really gave the requested face to the window DC.
static bool face_matches(const char* face) {
  char got[32];
  if (!GetTextFaceA(g_draw.wdc, sizeof got, got)) return false;
  return lstrcmpiA(got, face) == 0;
}

static HFONT make_font(const char* face, int32_t width, int32_t height, int32_t weight,
                       int32_t italic, int32_t underline, DWORD charset) {
  return CreateFontA(height, width, 0, 0, weight, (DWORD)italic, (DWORD)underline, 0, charset, 0, 0,
                     0, 0, face);
}

// A face is taken in the symbol or OEM character set only when the mapper
// gives exactly that face there; everything else ends in the ANSI set.
static bool use_font(const char* face, int32_t width, int32_t height, int32_t weight,
                     int32_t italic, int32_t underline, COLORREF colour) {
  drop_font();
  static const DWORD special_sets[] = {SYMBOL_CHARSET, OEM_CHARSET};
  bool taken = false;
  for (DWORD set : special_sets) {
    HFONT font = make_font(face, width, height, weight, italic, underline, set);
    if (!font) continue;
    if (!select_font(font)) {
      DeleteObject(font);
      continue;
    }
    if (face_matches(face)) {
      taken = true;
      break;
    }
    drop_font();
  }
  if (!taken) {
    HFONT font = make_font(face, width, height, weight, italic, underline, ANSI_CHARSET);
    if (!font) {
      set_error_only(MSG_NO_MEMORY);
      return false;
    }
    if (!select_font(font)) {
      DeleteObject(font);
      set_error_only(MSG_NO_MEMORY);
      return false;
    }
  }
  g_draw.text_colour = colour;
  SetTextColor(g_draw.wdc, colour);
  SetTextColor(g_draw.sdc, colour);
  return true;
}

static const KeywordRow s_weights[] = {{"BOLD", FW_BOLD}, {"NOBOLD", FW_NORMAL}, {nullptr, 0}};
static const KeywordRow s_italics[] = {{"ITALIC", 1}, {"NOITALIC", 0}, {nullptr, 0}};
static const KeywordRow s_underlines[] = {{"UNDERLINE", 1}, {"NOUNDERLINE", 0}, {nullptr, 0}};
// The size is a Point (width, height), so it is in millimetres in METRIC mode.
const ArgItem SYN_usefont[] = {LP_, STR_, CM_, POINT_, CM_, KW_(s_weights), CM_, KW_(s_italics), CM_,
                               KW_(s_underlines), CM_, COLOUR_, RP_, END_};
bool cmd_usefont() {
  return use_font(arg_text(0), arg_num(2), arg_num(3), arg_num(4), arg_num(5), arg_num(6),
                  arg_colour(7));
}

// The number after underline is read but has no effect: fonts are always made
// without strike-out.
const ArgItem SYN_usefontext[] = {LP_, STR_, CM_, POINT_, CM_, NUM_, CM_, NUM_, CM_, NUM_, CM_, NUM_, CM_,
                                  COLOUR_, RP_, END_};
bool cmd_usefontext() {
  return use_font(arg_text(0), arg_num(2), arg_num(3), arg_num(4), arg_num(5), arg_num(6),
                  arg_colour(8));
}

// The font dialog, preset from the variables; whatever the dialog leaves in
// its structures is written back, also after Cancel. The current font is not
// changed: the script hands the results to USEFONT or USEFONTEXT itself.
const ArgItem SYN_choosefont[] = {LP_, STRVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_,
                                  CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_,
                                  RP_, END_};
bool cmd_choosefont() {
  StrVar* face = arg_strvar(0);
  LOGFONTA lf;
  memset(&lf, 0, sizeof lf);
  lstrcpynA(lf.lfFaceName, face->text, LF_FACESIZE);
  lf.lfWidth = arg_numvar(1)->value;
  lf.lfHeight = arg_numvar(2)->value;
  char style[32] = "Regular";
  CHOOSEFONTA cf;
  memset(&cf, 0, sizeof cf);
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = g_mainwnd;
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_USESTYLE | CF_EFFECTS;
  cf.lpszStyle = style;
  cf.nFontType = SCREEN_FONTTYPE;
  choose_font_dialog(&cf);
  lf.lfFaceName[LF_FACESIZE - 1] = 0;
  if (!set_string_value(face, lf.lfFaceName, (uint32_t)strlen(lf.lfFaceName), MSG_FONT_NAME))
    return false;
  arg_numvar(1)->value = lf.lfWidth;
  arg_numvar(2)->value = lf.lfHeight;
  arg_numvar(3)->value = (int32_t)(cf.rgbColors & 0xFF);
  arg_numvar(4)->value = (int32_t)(cf.rgbColors >> 8 & 0xFF);
  arg_numvar(5)->value = (int32_t)(cf.rgbColors >> 16 & 0xFF);
  arg_numvar(6)->value = lf.lfWeight;
  arg_numvar(7)->value = lf.lfItalic;
  arg_numvar(8)->value = lf.lfUnderline;
  arg_numvar(9)->value = lf.lfStrikeOut;
  return true;
}
