// Text output: a string or a number at a point, a string formatted in a
// rectangle, and a status-bar pane. Text takes the script font and colour
// while a font is active, and always the background mode and colour of the
// drawing state. Each call is made on the window DC and, when that worked,
// on the surface DC.
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "graphics/surface.h"
#include "system/system_libraries.h"
#include <windows.h>
#include <commctrl.h>
#include <initializer_list>

static bool no_memory() {
  set_error_only(MSG_NO_MEMORY);
  return false;
}

// One line at the point; line-end bytes in the text are drawn as they are.
static bool text_out(int x, int y, const char* text, int len) {
  if (!TextOutA(g_draw.wdc, x, y, text, len) || !TextOutA(g_draw.sdc, x, y, text, len))
    return no_memory();
  return true;
}

const ArgItem SYN_drawtext[] = {LP_, POINT_, CM_, STR_, RP_, END_};
bool cmd_drawtext() { return text_out(arg_coord(0), arg_coord(1), arg_text(2), text_length(arg_len(3))); }

// Decimal, a "-" for negative numbers and nothing else around the digits.
const ArgItem SYN_drawnumber[] = {LP_, POINT_, CM_, NUM_, RP_, END_};
bool cmd_drawnumber() {
  char digits[12];
  char* p = digits + sizeof digits;
  int32_t n = arg_num(2);
  uint32_t u = n < 0 ? 0u - (uint32_t)n : (uint32_t)n;
  do {
    *--p = (char)('0' + u % 10);
    u /= 10;
  } while (u);
  if (n < 0) *--p = '-';
  return text_out(arg_coord(0), arg_coord(1), p, (int)(digits + sizeof digits - p));
}

// Lines break between words at the right edge and at line ends in the text,
// start at the top, and are clipped at the rectangle. A drawn height of 0
// counts as failure.
static const KeywordRow s_alignments[] = {{"CENTER", DT_CENTER}, {"LEFT", DT_LEFT}, {"RIGHT", DT_RIGHT},
                                          {nullptr, 0}};
const ArgItem SYN_drawtextext[] = {LP_, POINT_, CM_, POINT_, CM_, STR_, CM_, KW_(s_alignments), RP_, END_};
bool cmd_drawtextext() {
  const char* text = arg_text(4);
  int len = text_length(arg_len(5));
  UINT format = (UINT)arg_num(6) | DT_WORDBREAK;
  for (HDC dc : {g_draw.wdc, g_draw.sdc}) {
    RECT r = arg_rect(0);
    if (!DrawTextA(dc, text, len, &r, format)) return no_memory();
  }
  return true;
}

// The status-pane painter of the common controls, taken by its ordinal from
// the library that start-up initialised.
typedef void(WINAPI* StatusPainter)(HDC, LPCRECT, LPCSTR, UINT);

static StatusPainter status_painter() {
  static StatusPainter painter = nullptr;
  if (!painter) painter = (StatusPainter)(void*)library_function("COMCTL32.DLL", MAKEINTRESOURCEA(5));
  return painter;
}

// The plain sunken pane (flags 0) cannot be asked for. The painter reports
// nothing, so the command always succeeds.
static const KeywordRow s_status_styles[] = {{"NOBORDER", SBT_NOBORDERS}, {"POPOUT", SBT_POPOUT},
                                             {nullptr, 0}};
const ArgItem SYN_drawstatustext[] = {LP_, POINT_, CM_, POINT_, CM_, STR_, CM_, KW_(s_status_styles), RP_,
                                      END_};
bool cmd_drawstatustext() {
  StatusPainter paint = status_painter();
  if (!paint) return true;
  RECT r = arg_rect(0);
  paint(g_draw.wdc, &r, arg_text(4), (UINT)arg_num(6));
  paint(g_draw.sdc, &r, arg_text(4), (UINT)arg_num(6));
  return true;
}
