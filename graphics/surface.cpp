#include "graphics/surface.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include "system/window_control.h"
#include <string.h>

DrawingState g_draw = {
  0, 0, 0, 0, nullptr, 0, nullptr, nullptr, nullptr,
  false, nullptr, nullptr, nullptr,
  false, nullptr, nullptr, nullptr,
  false, nullptr, nullptr, nullptr,
  0, OPAQUE, RGB(192, 192, 192),
  nullptr, nullptr, nullptr,
  0, COORD_METRIC, SRCCOPY,
  nullptr,
};

// Point arguments are read by the language core, which knows nothing of the
// coordinate mode: it asks this converter, installed before main runs.
static void scale_point(int32_t* x, int32_t* y) {
  if (g_draw.coord_mode == COORD_METRIC) {
    *x = metric_to_pixel_x(*x);
    *y = metric_to_pixel_y(*y);
  }
}
static const bool s_scale_installed = (g_scale_point = scale_point, true);

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
  d.scope_palette = d.palette;
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
  // Only what the scope's start selected is put back; commands that select a
  // palette of their own restore it themselves.
  if (d.scope_palette) {
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

// ---- surface commands

static const KeywordRow s_coord_modes[] = {{"PIXEL", COORD_PIXEL}, {"METRIC", COORD_METRIC}, {nullptr, 0}};
const ArgItem SYN_usecoordinates[] = {LP_, KW_(s_coord_modes), RP_, END_};
bool cmd_usecoordinates() {
  g_draw.coord_mode = arg_num(0);
  return true;
}

static const KeywordRow s_rop_codes[] = {
  {"BLACKNESS", 0x42}, {"SRCAND", 0x8800C6}, {"SRCINVERT", 0x660046}, {"SRCPAINT", 0xEE0086},
  {"SRCCOPY", 0xCC0020}, {"NOTSRCCOPY", 0x330008}, {"SRCERASE", 0x440328}, {"DSTINVERT", 0x550009},
  {"NOTSRCERASE", 0x1100A6}, {"MERGECOPY", 0xC000CA}, {"MERGEPAINT", 0xBB0226},
  {"WHITENESS", 0xFF0062}, {nullptr, 0}};
const ArgItem SYN_setropcode[] = {LP_, KW_(s_rop_codes), RP_, END_};
bool cmd_setropcode() {
  g_draw.repaint_rop = (uint32_t)arg_num(0);
  return true;
}

// Only bitmaps loaded after the change build their palette the new way.
static const KeywordRow s_palette_modes[] = {{"GENERATE", 1}, {"BITMAP", 0}, {nullptr, 0}};
const ArgItem SYN_setcolorpalette[] = {LP_, KW_(s_palette_modes), RP_, END_};
bool cmd_setcolorpalette() {
  g_draw.palette_mode = arg_num(0);
  return true;
}

// The rectangle is queued for repainting and repainted at once; the repaint
// nests in the drawing scope that the statement loop holds open.
const ArgItem SYN_wininvalidaterect[] = {LP_, POINT_, CM_, POINT_, CM_, NUMVAR_, RP_, END_};
bool cmd_wininvalidaterect() {
  NumVar* ok = arg_numvar(4);
  ok->value = 0;
  RECT r = arg_rect(0);
  if (InvalidateRect(g_mainwnd, &r, FALSE)) {
    ok->value = 1;
    UpdateWindow(g_mainwnd);
  }
  return true;
}

const ArgItem SYN_winvalidaterect[] = {LP_, POINT_, CM_, POINT_, CM_, NUMVAR_, RP_, END_};
bool cmd_winvalidaterect() {
  NumVar* ok = arg_numvar(4);
  ok->value = 0;
  RECT r = arg_rect(0);
  if (ValidateRect(g_mainwnd, &r)) ok->value = 1;
  return true;
}

// Left and top are only written when the window is found; right and bottom
// are cleared first so that a missing window reads as an empty rectangle.
const ArgItem SYN_wingetclientrect[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_,
                                        NUMVAR_, RP_, END_};
bool cmd_wingetclientrect() {
  arg_numvar(4)->value = 0;
  arg_numvar(5)->value = 0;
  HWND wnd = find_titled_window(arg_text(0), arg_len(1));
  RECT r;
  if (wnd && GetClientRect(wnd, &r)) {
    arg_numvar(2)->value = r.left;
    arg_numvar(3)->value = r.top;
    arg_numvar(4)->value = r.right;
    arg_numvar(5)->value = r.bottom;
  }
  return true;
}

// The restored position is reported, also for a minimised or maximised window.
const ArgItem SYN_wingetlocation[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_,
                                      NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_wingetlocation() {
  NumVar* found = arg_numvar(6);
  found->value = 0;
  HWND wnd = find_titled_window(arg_text(0), arg_len(1));
  if (!wnd) return true;
  WINDOWPLACEMENT wp;
  memset(&wp, 0, sizeof wp);
  wp.length = 44;
  if (GetWindowPlacement(wnd, &wp)) {
    arg_numvar(2)->value = wp.rcNormalPosition.left;
    arg_numvar(3)->value = wp.rcNormalPosition.top;
    arg_numvar(4)->value = wp.rcNormalPosition.right;
    arg_numvar(5)->value = wp.rcNormalPosition.bottom;
    found->value = 1;
  }
  return true;
}
