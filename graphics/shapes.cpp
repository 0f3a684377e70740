// Shapes: lines, outlines and filled figures, flood fills, inverted
// rectangles, three-dimensional edges, clearing to the background colour and
// reading a pixel back. Each command draws on the window DC first and, only
// when that worked, on the surface DC; the command's outcome is the second
// call's.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "graphics/surface.h"
#include <windows.h>
#include <initializer_list>

static bool no_memory() {
  set_error_only(MSG_NO_MEMORY);
  return false;
}

typedef BOOL(WINAPI* Figure4)(HDC, int, int, int, int);
typedef BOOL(WINAPI* Figure8)(HDC, int, int, int, int, int, int, int, int);

// A figure given by its bounding box (the two Points as written, unsorted).
static bool draw_box(Figure4 f) {
  int a = arg_coord(0), b = arg_coord(1), c = arg_coord(2), e = arg_coord(3);
  if (!f(g_draw.wdc, a, b, c, e) || !f(g_draw.sdc, a, b, c, e)) return no_memory();
  return true;
}

// A figure given by its bounding box, a start point and an end point.
static bool draw_segment(Figure8 f) {
  int v[8];
  for (int i = 0; i < 8; ++i) v[i] = arg_coord(i);
  for (HDC dc : {g_draw.wdc, g_draw.sdc})
    if (!f(dc, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7])) return no_memory();
  return true;
}

static bool line_on(HDC dc) {
  return MoveToEx(dc, arg_coord(0), arg_coord(1), nullptr) && LineTo(dc, arg_coord(2), arg_coord(3));
}

const ArgItem SYN_drawline[] = {LP_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawline() {
  if (!line_on(g_draw.wdc) || !line_on(g_draw.sdc)) return no_memory();
  return true;
}

const ArgItem SYN_drawrectangle[] = {LP_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawrectangle() { return draw_box(Rectangle); }

const ArgItem SYN_drawellipse[] = {LP_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawellipse() { return draw_box(Ellipse); }

// The third Point is the width and height of the corner ellipse.
const ArgItem SYN_drawroundrectangle[] = {LP_, POINT_, CM_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawroundrectangle() {
  int v[6];
  for (int i = 0; i < 6; ++i) v[i] = arg_coord(i);
  for (HDC dc : {g_draw.wdc, g_draw.sdc})
    if (!RoundRect(dc, v[0], v[1], v[2], v[3], v[4], v[5])) return no_memory();
  return true;
}

// Arcs run counter-clockwise from the start point to the end point, the
// graphics system's default direction.
const ArgItem SYN_drawarc[] = {LP_, POINT_, CM_, POINT_, CM_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawarc() { return draw_segment(Arc); }

const ArgItem SYN_drawchord[] = {LP_, POINT_, CM_, POINT_, CM_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawchord() { return draw_segment(Chord); }

const ArgItem SYN_drawpie[] = {LP_, POINT_, CM_, POINT_, CM_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_drawpie() { return draw_segment(Pie); }

// Flood fills never fail: a start point outside the window fails on the
// window DC, and the surface must still be filled so that the fill shows
// when that part of the window is repainted.
static void flood(UINT type) {
  int x = arg_coord(0), y = arg_coord(1);
  COLORREF colour = arg_colour(2);
  ExtFloodFill(g_draw.wdc, x, y, colour, type);
  ExtFloodFill(g_draw.sdc, x, y, colour, type);
}

const ArgItem SYN_drawflood[] = {LP_, POINT_, CM_, COLOUR_, RP_, END_};
bool cmd_drawflood() {
  flood(FLOODFILLBORDER);
  return true;
}

static const KeywordRow s_flood_types[] = {{"BORDER", FLOODFILLBORDER}, {"SURFACE", FLOODFILLSURFACE},
                                           {nullptr, 0}};
const ArgItem SYN_drawfloodext[] = {LP_, POINT_, CM_, COLOUR_, CM_, KW_(s_flood_types), RP_, END_};
bool cmd_drawfloodext() {
  flood((UINT)arg_num(5));
  return true;
}

const ArgItem SYN_invertrectangle[] = {LP_, POINT_, CM_, POINT_, RP_, END_};
bool cmd_invertrectangle() {
  RECT r = arg_rect(0);
  if (!InvertRect(g_draw.wdc, &r)) return no_memory();
  r = arg_rect(0);
  if (!InvertRect(g_draw.sdc, &r)) return no_memory();
  return true;
}

static const KeywordRow s_edge_kinds[] = {
  {"BUMPEDGE", EDGE_BUMP}, {"ETCHEDEDGE", EDGE_ETCHED}, {"RAISEDEDGE", EDGE_RAISED},
  {"SUNKENEDGE", EDGE_SUNKEN}, {nullptr, 0}};
static const KeywordRow s_edge_flags[] = {
  {"ADJUST", BF_ADJUST}, {"BOTTOM", BF_BOTTOM}, {"BOTTOMLEFT", BF_BOTTOMLEFT},
  {"BOTTOMRIGHT", BF_BOTTOMRIGHT}, {"DIAGONAL", BF_DIAGONAL},
  {"DIAG_ENDBTMLEFT", BF_DIAGONAL_ENDBOTTOMLEFT}, {"DIAG_ENDBTMRIGHT", BF_DIAGONAL_ENDBOTTOMRIGHT},
  {"DIAG_ENDTOPLEFT", BF_DIAGONAL_ENDTOPLEFT}, {"DIAG_ENDTOPRIGHT", BF_DIAGONAL_ENDTOPRIGHT},
  {nullptr, 0}};
static const KeywordRow s_edge_sides[] = {
  {"LEFT", BF_LEFT}, {"RECT", BF_RECT}, {"RIGHT", BF_RIGHT}, {"TOP", BF_TOP},
  {"TOPLEFT", BF_TOPLEFT}, {"TOPRIGHT", BF_TOPRIGHT}, {nullptr, 0}};
// Both flag keywords are required and combined, e.g. BOTTOM with TOPLEFT
// gives every side but the right one. ADJUST shrinks only the system's copy
// of the rectangle, so each DC gets the rectangle as written.
const ArgItem SYN_drawedgerectangle[] = {LP_, POINT_, CM_, POINT_, CM_, KW_(s_edge_kinds), CM_,
                                         KW_(s_edge_flags), CM_, KW_(s_edge_sides), RP_, END_};
bool cmd_drawedgerectangle() {
  UINT edge = (UINT)arg_num(4), flags = (UINT)(arg_num(5) | arg_num(6));
  RECT r = arg_rect(0);
  if (!DrawEdge(g_draw.wdc, &r, edge, flags)) return no_memory();
  r = arg_rect(0);
  if (!DrawEdge(g_draw.sdc, &r, edge, flags)) return no_memory();
  return true;
}

// Paints the whole DC in the background colour with a brush of its own; the
// script's brush stays selected afterwards.
static bool clear_to_background(HDC dc) {
  HBRUSH brush = CreateSolidBrush(g_draw.bk_colour);
  if (!brush) return false;
  HGDIOBJ prev = SelectObject(dc, brush);
  if (!prev) {
    DeleteObject(brush);
    return false;
  }
  PatBlt(dc, 0, 0, g_draw.px_w, g_draw.px_h, PATCOPY);
  if (!SelectObject(dc, prev)) return false;
  DeleteObject(brush);
  return true;
}

// No arguments: the whole client area and the whole surface take the
// background colour, whatever the background mode.
const ArgItem SYN_drawbackground[] = {END_};
bool cmd_drawbackground() {
  if (!clear_to_background(g_draw.wdc) || !clear_to_background(g_draw.sdc)) return no_memory();
  return true;
}

// Reads the window, not the surface: a covered or off-screen part of the
// client area gives no colour (found stays 0 and the colour variables keep
// their values) or the colour of what covers it.
const ArgItem SYN_getpixel[] = {LP_, POINT_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_,
                                RP_, END_};
bool cmd_getpixel() {
  NumVar* found = arg_numvar(5);
  found->value = 0;
  COLORREF c = GetPixel(g_draw.wdc, arg_num(0), arg_num(1));
  if (c == CLR_INVALID) return true;
  arg_numvar(2)->value = (int32_t)(c & 0xFF);
  arg_numvar(3)->value = (int32_t)(c >> 8 & 0xFF);
  arg_numvar(4)->value = (int32_t)(c >> 16 & 0xFF);
  found->value = 1;
  return true;
}
