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

// The rectangle of two Point arguments starting at word first (left, top,
// right, bottom as written).
inline RECT arg_rect(int first) {
  RECT r = {arg_num(first), arg_num(first + 1), arg_num(first + 2), arg_num(first + 3)};
  return r;
}
