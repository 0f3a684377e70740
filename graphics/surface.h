// The drawing state: screen metrics, the off-screen surface that keeps the
// picture, nested drawing scopes with the window DC and the surface DC, the
// script's pen, brush, font, colours, palette and modes.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "core/arguments.h"

enum { COORD_PIXEL = 0, COORD_METRIC = 1 };

struct DrawingState {
  int32_t mm_w, mm_h;        // HORZSIZE, VERTSIZE
  int32_t px_w, px_h;        // HORZRES, VERTRES
  HBITMAP surface;
  uint32_t depth;            // open drawing scopes
  HDC wdc;                   // window DC while depth > 0
  HDC sdc;                   // surface DC while depth > 0
  HBITMAP sdc_prev_bitmap;
  bool pen_active;
  HPEN pen, wdc_prev_pen, sdc_prev_pen;
  bool brush_active;
  HBRUSH brush, wdc_prev_brush, sdc_prev_brush;
  bool font_active;
  HFONT font, wdc_prev_font, sdc_prev_font;
  COLORREF text_colour;
  int32_t bk_mode;
  COLORREF bk_colour;
  HPALETTE palette;
  HPALETTE wdc_prev_palette, sdc_prev_palette;
  int32_t palette_mode;      // 0 BITMAP, 1 GENERATE
  int32_t coord_mode;        // COORD_PIXEL or COORD_METRIC
  uint32_t repaint_rop;
  HPALETTE scope_palette;    // the palette the open scope selected, if any
};

extern DrawingState g_draw;

void measure_screen();
bool create_surface();      // shows "Not enough memory." itself on failure
void begin_drawing();
void end_drawing();
void repaint_window();
void release_drawing_state();

inline int32_t metric_to_pixel_x(int32_t x) {
  return x >= g_draw.mm_w ? g_draw.px_w : (int32_t)((int64_t)x * g_draw.px_w / g_draw.mm_w);
}
inline int32_t metric_to_pixel_y(int32_t y) {
  return y >= g_draw.mm_h ? g_draw.px_h : (int32_t)((int64_t)y * g_draw.px_h / g_draw.mm_h);
}
inline int32_t pixel_to_metric_x(int32_t x) {
  return x >= g_draw.px_w ? g_draw.mm_w : (int32_t)((int64_t)x * g_draw.mm_w / g_draw.px_w);
}
inline int32_t pixel_to_metric_y(int32_t y) {
  return y >= g_draw.px_h ? g_draw.mm_h : (int32_t)((int64_t)y * g_draw.mm_h / g_draw.px_h);
}

// Coordinates and extents handed to the graphics system stay within 16-bit
// numbers, the range the system was made for: far beyond any screen, so
// nothing visible changes, while values near 2^31 make the system's own
// drawing code divide by zero or run for hours. A value outside is moved to
// the nearest end of the range.
const int32_t GDI_COORD_MIN = -32768, GDI_COORD_MAX = 32767;
inline int32_t gdi_coord(int64_t v) {
  return v < GDI_COORD_MIN ? GDI_COORD_MIN : v > GDI_COORD_MAX ? GDI_COORD_MAX : (int32_t)v;
}
// Argument word i as a coordinate for the graphics system.
inline int32_t arg_coord(int i) { return gdi_coord(arg_num(i)); }

// Texts handed to the graphics system are cut to 65535 bytes: more than a
// screen can show in any font, while the system's text functions take time
// and memory in proportion to the whole text.
const uint32_t GDI_TEXT_MAX = 65535;
inline int text_length(uint32_t len) { return (int)(len < GDI_TEXT_MAX ? len : GDI_TEXT_MAX); }

// The rectangle of two Point arguments starting at word first (left, top,
// right, bottom as written).
inline RECT arg_rect(int first) {
  RECT r = {arg_coord(first), arg_coord(first + 1), arg_coord(first + 2), arg_coord(first + 3)};
  return r;
}
