#include "graphics/surface.h"
#include "core/errors.h"
#include "core/runtime.h"

DrawingState g_draw = {
  0, 0, 0, 0, nullptr, 0, nullptr, nullptr, nullptr,
  false, nullptr, nullptr, nullptr,
  false, nullptr, nullptr, nullptr,
  false, nullptr, nullptr, nullptr,
  0, OPAQUE, RGB(192, 192, 192),
  nullptr, nullptr, nullptr,
  0, COORD_METRIC, SRCCOPY,
};

void measure_screen() {
  HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  if (ic) {
    g_draw.mm_w = GetDeviceCaps(ic, HORZSIZE);
    g_draw.mm_h = GetDeviceCaps(ic, VERTSIZE);
    g_draw.px_w = GetDeviceCaps(ic, HORZRES);
    g_draw.px_h = GetDeviceCaps(ic, VERTRES);
    DeleteDC(ic);
  }
  // A display that reports no size would make every conversion divide by 0.
  if (g_draw.mm_w <= 0) g_draw.mm_w = 1;
  if (g_draw.mm_h <= 0) g_draw.mm_h = 1;
  if (g_draw.px_w <= 0) g_draw.px_w = 1;
  if (g_draw.px_h <= 0) g_draw.px_h = 1;
}

bool create_surface() {
  HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HBITMAP bmp = dc ? CreateCompatibleBitmap(dc, g_draw.px_w, g_draw.px_h) : nullptr;
  if (!bmp) {
    MessageBoxA(nullptr, msg_text(MSG_NO_MEMORY), g_title, MB_ICONHAND);
    if (dc) DeleteDC(dc);
    return false;
  }
  HDC mem = CreateCompatibleDC(dc);
  DeleteDC(dc);
  HGDIOBJ prev = SelectObject(mem, bmp);
  PatBlt(mem, 0, 0, g_draw.px_w, g_draw.px_h, WHITENESS);
  SelectObject(mem, prev);
  DeleteDC(mem);
  g_draw.surface = bmp;
  return true;
}

void begin_drawing() {
  if (++g_draw.depth != 1) return;
  DrawingState& d = g_draw;
  d.wdc = GetDC(g_mainwnd);
  d.sdc = CreateCompatibleDC(d.wdc);
  d.sdc_prev_bitmap = (HBITMAP)SelectObject(d.sdc, d.surface);
  if (d.pen_active) {
    d.wdc_prev_pen = (HPEN)SelectObject(d.wdc, d.pen);
    d.sdc_prev_pen = (HPEN)SelectObject(d.sdc, d.pen);
  }
  if (d.brush_active) {
    d.wdc_prev_brush = (HBRUSH)SelectObject(d.wdc, d.brush);
    d.sdc_prev_brush = (HBRUSH)SelectObject(d.sdc, d.brush);
  }
  if (d.font_active) {
    d.wdc_prev_font = (HFONT)SelectObject(d.wdc, d.font);
    d.sdc_prev_font = (HFONT)SelectObject(d.sdc, d.font);
    SetTextColor(d.wdc, d.text_colour);
    SetTextColor(d.sdc, d.text_colour);
  }
  if (d.palette) {
    d.wdc_prev_palette = SelectPalette(d.wdc, d.palette, FALSE);
    RealizePalette(d.wdc);
    d.sdc_prev_palette = SelectPalette(d.sdc, d.palette, FALSE);
    RealizePalette(d.sdc);
  }
  SetBkMode(d.wdc, d.bk_mode);
  SetBkColor(d.wdc, d.bk_colour);
  SetBkMode(d.sdc, d.bk_mode);
  SetBkColor(d.sdc, d.bk_colour);
}

void end_drawing() {
  if (g_draw.depth == 0 || --g_draw.depth != 0) return;
  DrawingState& d = g_draw;
  SelectObject(d.sdc, d.sdc_prev_bitmap);
  if (d.pen_active) {
    SelectObject(d.wdc, d.wdc_prev_pen);
    SelectObject(d.sdc, d.sdc_prev_pen);
  }
  if (d.brush_active) {
    SelectObject(d.wdc, d.wdc_prev_brush);
    SelectObject(d.sdc, d.sdc_prev_brush);
  }
  if (d.font_active) {
    SelectObject(d.wdc, d.wdc_prev_font);
    SelectObject(d.sdc, d.sdc_prev_font);
  }
  if (d.palette) {
    SelectPalette(d.wdc, d.wdc_prev_palette, FALSE);
    RealizePalette(d.wdc);
    SelectPalette(d.sdc, d.sdc_prev_palette, FALSE);
    RealizePalette(d.sdc);
  }
  ReleaseDC(g_mainwnd, d.wdc);
  DeleteDC(d.sdc);
  d.wdc = d.sdc = nullptr;
}

void repaint_window() {
  begin_drawing();
  BitBlt(g_draw.wdc, 0, 0, g_draw.px_w, g_draw.px_h, g_draw.sdc, 0, 0, g_draw.repaint_rop);
  end_drawing();
  ValidateRect(g_mainwnd, nullptr);
}

void release_drawing_state() {
  DrawingState& d = g_draw;
  if (d.surface) DeleteObject(d.surface);
  d.surface = nullptr;
  if (d.pen_active) DeleteObject(d.pen);
  if (d.brush_active) DeleteObject(d.brush);
  if (d.font_active) DeleteObject(d.font);
  d.pen_active = d.brush_active = d.font_active = false;
}
