// Bitmap, icon and cursor commands. Bitmaps come from the bitmap cache and
// are drawn into the window first, then into the surface; icons come from
// the runtime's resources or the system; the cursor is the one the window
// procedure shows over the main window.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/runtime.h"
#include "graphics/bitmap_files.h"
#include "graphics/surface.h"
#include "host/window.h"

static const KeywordRow s_stretch_modes[] = {
  {"BLACKONWHITE", BLACKONWHITE}, {"COLORONCOLOR", COLORONCOLOR},
  {"HALFTONE", HALFTONE}, {"WHITEONBLACK", WHITEONBLACK}, {nullptr, 0},
};

// The bitmap's natural size, as the last draw found it.
struct DrawnSize {
  int32_t width, height;
};

// Draws the named bitmap on one DC. With sized false the target is the
// bitmap's own size at (x, y); otherwise w x h, negative extents mirroring.
static bool draw_bitmap_on(HDC dc, const char* name, int mode, int32_t x, int32_t y, int32_t w,
                           int32_t h, bool sized, DrawnSize* size) {
  if (!fetch_bitmap(name)) return false;
  HPALETTE prev = nullptr;
  if (g_draw.palette) {
    prev = SelectPalette(dc, g_draw.palette, FALSE);
    RealizePalette(dc);
  }
  SetStretchBltMode(dc, mode);
  int32_t bw = g_bitmap.width, bh = g_bitmap.height;
  if (!sized) {
    w = bw;
    h = bh;
  }
  StretchDIBits(dc, x, y, w, h, 0, 0, bw, bh, g_bitmap.pixels, (const BITMAPINFO*)g_bitmap.header,
                DIB_RGB_COLORS, SRCCOPY);
  if (prev) SelectPalette(dc, prev, FALSE);
  size->width = bw;
  size->height = bh;
  release_bitmap();
  return true;
}

// Window DC, then the natural-size rectangle at the first point is taken
// out of any pending repaint, then the surface DC. The target's corners and
// extents are kept within the graphics system's coordinates (a mirrored
// extent of -2^31 has no positive counterpart).
static bool draw_bitmap_command(const char* name, int mode, int32_t x1, int32_t y1, int32_t x2,
                                int32_t y2, bool sized) {
  DrawnSize size;
  int32_t x = gdi_coord(x1), y = gdi_coord(y1);
  int32_t w = gdi_coord((int64_t)gdi_coord(x2) - x), h = gdi_coord((int64_t)gdi_coord(y2) - y);
  if (!draw_bitmap_on(g_draw.wdc, name, mode, x, y, w, h, sized, &size)) return false;
  RECT r = {x, y, gdi_coord((int64_t)x + size.width), gdi_coord((int64_t)y + size.height)};
  ValidateRect(g_mainwnd, &r);
  return draw_bitmap_on(g_draw.sdc, name, mode, x, y, w, h, sized, &size);
}

const ArgItem SYN_drawbitmap[] = {LP_, POINT_, CM_, STR_, RP_, END_};
bool cmd_drawbitmap() {
  return draw_bitmap_command(arg_text(2), COLORONCOLOR, arg_num(0), arg_num(1), 0, 0, false);
}

const ArgItem SYN_drawbitmapext[] = {LP_, POINT_, CM_, STR_, CM_, KW_(s_stretch_modes), RP_, END_};
bool cmd_drawbitmapext() {
  return draw_bitmap_command(arg_text(2), arg_num(4), arg_num(0), arg_num(1), 0, 0, false);
}

const ArgItem SYN_drawsizedbitmap[] = {LP_, POINT_, CM_, POINT_, CM_, STR_, RP_, END_};
bool cmd_drawsizedbitmap() {
  return draw_bitmap_command(arg_text(4), COLORONCOLOR, arg_num(0), arg_num(1), arg_num(2),
                             arg_num(3), true);
}

const ArgItem SYN_drawsizedbitmapext[] = {LP_, POINT_, CM_, POINT_, CM_, STR_, CM_,
                                          KW_(s_stretch_modes), RP_, END_};
bool cmd_drawsizedbitmapext() {
  return draw_bitmap_command(arg_text(4), arg_num(6), arg_num(0), arg_num(1), arg_num(2),
                             arg_num(3), true);
}

const ArgItem SYN_freebitmap[] = {LP_, STR_, RP_, END_};
bool cmd_freebitmap() {
  remove_bitmap(arg_text(0));
  return true;
}

const ArgItem SYN_freebitmapall[] = {END_};
bool cmd_freebitmapall() {
  clear_bitmap_cache();
  return true;
}

// ---------------------------------------------------------------- icons

enum : int32_t {
  ICON_INFORMATION = 0x64, ICON_EXCLAMATION = 0x65, ICON_QUESTION = 0x66, ICON_HAND = 0x67,
};

static const KeywordRow s_icons[] = {
  {"ICON01", 1}, {"ICON02", 2}, {"ICON03", 3}, {"ICON04", 4}, {"ICON05", 5}, {"ICON06", 6},
  {"ICON07", 7}, {"ICON08", 8}, {"ICON09", 9}, {"ICON10", 10}, {"ICON11", 11}, {"ICON12", 12},
  {"ICON13", 13}, {"ICON14", 14}, {"ICON15", 15}, {"ICON16", 16}, {"ICON17", 17},
  {"INFORMATION", ICON_INFORMATION}, {"ASTERISK", ICON_INFORMATION},
  {"EXCLAMATION", ICON_EXCLAMATION}, {"WARNING", ICON_EXCLAMATION},
  {"QUESTION", ICON_QUESTION},
  {"HAND", ICON_HAND}, {"STOP", ICON_HAND},
  {nullptr, 0},
};

static HICON load_icon(int32_t which) {
  if (which >= 1 && which <= 17) {
    char name[8] = "TARVO00";
    name[5] = (char)('0' + which / 10);
    name[6] = (char)('0' + which % 10);
    return LoadIconA(g_inst, name);
  }
  const char* id = nullptr;
  switch (which) {
    case ICON_INFORMATION: id = IDI_ASTERISK; break;
    case ICON_EXCLAMATION: id = IDI_EXCLAMATION; break;
    case ICON_QUESTION: id = IDI_QUESTION; break;
    case ICON_HAND: id = IDI_HAND; break;
    default: return nullptr;
  }
  return LoadIconA(nullptr, id);
}

// An icon's width or height: a negative extent is not a mirror for the
// icon functions (the system's own code runs away on it), so it is drawn at
// the size of its magnitude; extents beyond the coordinate range are cut.
static int32_t icon_extent(int32_t n) { return gdi_coord(n < 0 ? -(int64_t)n : n); }

static bool draw_icon_on(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t which) {
  UINT flags = (w == 0 || h == 0) ? DI_NORMAL | DI_DEFAULTSIZE : DI_NORMAL;
  HICON icon = load_icon(which);
  BOOL ok = icon && DrawIconEx(dc, x, y, icon, w, h, 0, nullptr, flags);
  if (icon) DestroyIcon(icon);
  if (!ok) set_error_only(MSG_NO_MEMORY);
  return ok;
}

const ArgItem SYN_drawicon[] = {LP_, POINT_, CM_, NUM_, CM_, NUM_, CM_, KW_(s_icons), RP_, END_};
bool cmd_drawicon() {
  int32_t x = arg_coord(0), y = arg_coord(1), w = icon_extent(arg_num(2)), h = icon_extent(arg_num(3));
  int32_t which = arg_num(4);
  return draw_icon_on(g_draw.wdc, x, y, w, h, which) && draw_icon_on(g_draw.sdc, x, y, w, h, which);
}

// ---------------------------------------------------------------- cursor

static const KeywordRow s_cursors[] = {
  {"ARROW", 0x7F00}, {"IBEAM", 0x7F01}, {"WAIT", 0x7F02}, {"CROSS", 0x7F03},
  {"UPARROW", 0x7F04}, {"SIZE", 0x7F80}, {"ICON", 0x7F81}, {"SIZENWSE", 0x7F82},
  {"SIZENESW", 0x7F83}, {"SIZEWE", 0x7F84}, {"SIZENS", 0x7F85}, {"SIZEALL", 0x7F86},
  {"NO", 0x7F88}, {"APPSTARTING", 0x7F8A}, {nullptr, 0},
};

const ArgItem SYN_usecursor[] = {LP_, KW_(s_cursors), RP_, END_};
bool cmd_usecursor() {
  g_cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(arg_num(0)));
  SetCursor(g_cursor);
  ShowCursor(TRUE);
  return true;
}

// ---------------------------------------------------------------- debugging

const ArgItem SYN_replacechannel[] = {LP_, STR_, CM_, STR_, RP_, END_};
bool cmd_replacechannel() {
  MessageBoxA(g_mainwnd, msg_text(MSG_REPLACE_CHANNEL), msg_text(MSG_DEBUG_CAPTION), MB_OK);
  return true;
}
