#include "graphics/bitmap_files.h"
#include "core/arguments.h"
#include "core/commands.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/runtime.h"
#include "graphics/surface.h"
#include <string.h>

CurrentBitmap g_bitmap = {nullptr, nullptr, nullptr, 0, 0};

static BitmapRecord* s_first = nullptr;   // oldest
static BitmapRecord* s_last = nullptr;

enum : uint32_t { INFO_SIZE = 40, CORE_SIZE = 12, FILE_HEADER_SIZE = 14 };
enum : uint32_t { COMP_NONE = 0, COMP_RLE8 = 1, COMP_RLE4 = 2 };
enum : int32_t { PALETTE_BITMAP = 0 };
// Pixels are read in chunks of this size; a short chunk ends the file.
static const uint32_t READ_CHUNK = 32768;

// ---------------------------------------------------------------- files

static HANDLE open_bitmap_file(const char* name) {
  OFSTRUCT of;
  memset(&of, 0, sizeof of);
  of.cBytes = sizeof of;
  HFILE f = OpenFile(name, &of, OF_READ);
  if (f == HFILE_ERROR) return INVALID_HANDLE_VALUE;
  return (HANDLE)(intptr_t)f;
}

static void close_bitmap_file(HANDLE f) { CloseHandle(f); }

// Reads up to n bytes; the number read (0 on a read error).
static uint32_t read_bytes(HANDLE f, void* to, uint32_t n) {
  DWORD got = 0;
  if (!ReadFile(f, to, n, &got, nullptr)) return 0;
  return got;
}

static bool tell(HANDLE f, uint64_t* pos) {
  LONG high = 0;
  DWORD low = SetFilePointer(f, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  *pos = (uint64_t)(uint32_t)high << 32 | low;
  return true;
}

static bool seek(HANDLE f, uint64_t pos) {
  LONG high = (LONG)(pos >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(f, (LONG)(uint32_t)pos, &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

static inline uint16_t u16_at(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
static inline uint32_t u32_at(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// ---------------------------------------------------------------- checks

uint64_t bitmap_stride(int32_t width, uint32_t bits) {
  if (width <= 0 || bits == 0 || bits > 32) return 0;
  return ((uint64_t)width * bits + 31) / 32 * 4;
}

static uint64_t abs_height(int32_t h) { return h < 0 ? (uint64_t)(-(int64_t)h) : (uint64_t)h; }

bool bitmap_header_ok(const BITMAPINFOHEADER* h, uint32_t colours, uint32_t* pixel_bytes) {
  uint32_t bits = h->biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == INT32_MIN) return false;
  // The system reads as many colour entries as the header announces (at
  // most 256); the packed bitmap holds exactly the colour count.
  if (colours > 256 || h->biClrUsed != colours) return false;
  // Up to 8 bits per pixel the system reads a colour table for the pixels.
  if (bits <= 8 && colours == 0) return false;
  uint64_t rows = bitmap_stride(h->biWidth, bits) * abs_height(h->biHeight);
  if (rows > 0x7FFFFFFFu) return false;
  switch (h->biCompression) {
    case COMP_NONE:
      // Every row must be there; bytes beyond the rows are never drawn.
      if (h->biSizeImage < rows) return false;
      *pixel_bytes = (uint32_t)rows;
      return true;
    case COMP_RLE8:
    case COMP_RLE4:
      // Run-length pictures are stored bottom-up, 8 or 4 bits per pixel.
      if (bits != (h->biCompression == COMP_RLE8 ? 8u : 4u) || h->biHeight < 0) return false;
      if (h->biSizeImage == 0 || h->biSizeImage > 0x7FFFFFFFu) return false;
      *pixel_bytes = h->biSizeImage;
      return true;
    default:
      return false;
  }
}

bool rle_stream_ok(const uint8_t* d, uint32_t size, uint32_t width, uint32_t height,
                   uint32_t bits, uint32_t* used) {
  uint32_t x = 0, y = 0, i = 0;
  for (;;) {
    if (size - i < 2) return false;  // no end-of-bitmap mark
    uint32_t a = d[i], b = d[i + 1];
    i += 2;
    if (a != 0) {  // a run of a pixels
      if (y >= height || a > width - x) return false;
      x += a;
      continue;
    }
    switch (b) {
      case 0:  // end of line
        if (y >= height) return false;
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        *used = i;
        return true;
      case 2: {  // move right and up
        if (size - i < 2) return false;
        uint32_t dx = d[i], dy = d[i + 1];
        i += 2;
        if (dx > width - x || dy > height - y) return false;
        x += dx;
        y += dy;
        break;
      }
      default: {  // b pixels given one by one, padded to a 16-bit boundary
        uint32_t bytes = bits == 4 ? (b + 1) / 2 : b;
        bytes = (bytes + 1) & ~1u;
        if (size - i < bytes || y >= height || b > width - x) return false;
        x += b;
        i += bytes;
        break;
      }
    }
  }
}

// ---------------------------------------------------------------- header

HGLOBAL read_bitmap_header(HANDLE f, uint32_t* colours_out) {
  uint64_t start;
  if (!tell(f, &start)) return nullptr;
  uint8_t fh[FILE_HEADER_SIZE];
  uint32_t got = read_bytes(f, fh, sizeof fh);
  uint32_t pixel_offset = 0;
  bool has_file_header = got == sizeof fh && u16_at(fh) == 0x4D42;
  if (has_file_header) {
    pixel_offset = u32_at(fh + 10);
  } else if (!seek(f, start)) {
    return nullptr;
  }
  uint8_t raw[INFO_SIZE];
  if (read_bytes(f, raw, sizeof raw) != sizeof raw) return nullptr;

  BITMAPINFOHEADER h;
  memset(&h, 0, sizeof h);
  uint32_t hsize = u32_at(raw);
  uint32_t colours;
  if (hsize == INFO_SIZE) {
    h.biWidth = (int32_t)u32_at(raw + 4);
    h.biHeight = (int32_t)u32_at(raw + 8);
    h.biPlanes = u16_at(raw + 12);
    h.biBitCount = u16_at(raw + 14);
    h.biCompression = u32_at(raw + 16);
    h.biSizeImage = u32_at(raw + 20);
    h.biXPelsPerMeter = (int32_t)u32_at(raw + 24);
    h.biYPelsPerMeter = (int32_t)u32_at(raw + 28);
    h.biClrUsed = u32_at(raw + 32);
    h.biClrImportant = u32_at(raw + 36);
  } else if (hsize == CORE_SIZE) {
    h.biWidth = u16_at(raw + 4);
    h.biHeight = u16_at(raw + 6);
    h.biPlanes = u16_at(raw + 8);
    h.biBitCount = u16_at(raw + 10);
    // Back to the byte behind the 12-byte header.
    if (!seek(f, (has_file_header ? start + FILE_HEADER_SIZE : start) + CORE_SIZE)) return nullptr;
  } else {
    return nullptr;
  }
  h.biSize = INFO_SIZE;
  if (hsize == INFO_SIZE && h.biClrUsed != 0) {
    // Only the low word counts: 0x10000 announces no colour table at all.
    colours = h.biClrUsed & 0xFFFF;
  } else {
    switch (h.biBitCount) {
      case 1: colours = 2; break;
      case 4: colours = 16; break;
      case 8: colours = 256; break;
      default: colours = 0; break;
    }
  }
  if (hsize == CORE_SIZE) h.biClrImportant = colours;
  // The packed header always announces exactly the entries it carries.
  h.biClrUsed = colours;
  // A top-down picture must say how many bytes it holds: with no image
  // size the header and the row order cannot be told to agree.
  if (h.biHeight < 0 && h.biSizeImage == 0) return nullptr;
  if (h.biSizeImage == 0) {
    uint64_t rows = bitmap_stride(h.biWidth, h.biBitCount) * abs_height(h.biHeight);
    h.biSizeImage = rows > 0x7FFFFFFFu ? 0 : (uint32_t)rows;
  }
  uint32_t pixel_bytes;
  if (!bitmap_header_ok(&h, colours, &pixel_bytes)) return nullptr;
  h.biSizeImage = pixel_bytes;

  uint32_t entry = hsize == INFO_SIZE ? 4 : 3;
  uint32_t table = entry * colours;
  // A pixel offset that points into the headers or the colour table is not
  // where any writer puts the pixels.
  if (pixel_offset != 0 && pixel_offset < FILE_HEADER_SIZE + hsize + table) return nullptr;

  HGLOBAL block = (HGLOBAL)mem_global_alloc(GMEM_MOVEABLE | GMEM_ZEROINIT, INFO_SIZE + 4 * colours);
  if (!block) return nullptr;
  uint8_t* p = (uint8_t*)GlobalLock(block);
  if (!p) {
    mem_global_free(block);
    return nullptr;
  }
  memcpy(p, &h, INFO_SIZE);
  uint8_t* t = p + INFO_SIZE;
  bool ok = read_bytes(f, t, table) == table;
  if (ok && entry == 3) {
    // Widen the 3-byte entries in place, from the last one down.
    for (uint32_t k = colours; k-- > 0;) {
      uint8_t b = t[3 * k], g = t[3 * k + 1], r = t[3 * k + 2];
      t[4 * k] = b;
      t[4 * k + 1] = g;
      t[4 * k + 2] = r;
      t[4 * k + 3] = 0;
    }
  }
  GlobalUnlock(block);
  if (ok && pixel_offset != 0) ok = seek(f, start + pixel_offset);
  if (!ok) {
    mem_global_free(block);
    return nullptr;
  }
  *colours_out = colours;
  return block;
}

// ---------------------------------------------------------------- palette

HPALETTE make_bitmap_palette(const BITMAPINFOHEADER* h, uint32_t colours, int32_t palette_mode) {
  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entry[256];
  } lp;
  bool cube;
  if (colours == 0) {
    if (palette_mode == PALETTE_BITMAP && h->biBitCount != 24) return nullptr;
    cube = true;
  } else {
    cube = palette_mode != PALETTE_BITMAP;
  }
  if (colours > 256) return nullptr;
  lp.version = 0x300;
  if (cube) {
    lp.count = 256;
    for (uint32_t i = 0; i < 256; ++i) {
      lp.entry[i].peRed = (BYTE)(32 * (i % 8));
      lp.entry[i].peGreen = (BYTE)(32 * ((i / 8) % 8));
      lp.entry[i].peBlue = (BYTE)(64 * (i / 64));
      lp.entry[i].peFlags = 0;
    }
  } else {
    const RGBQUAD* t = (const RGBQUAD*)((const uint8_t*)h + INFO_SIZE);
    lp.count = (WORD)colours;
    for (uint32_t i = 0; i < colours; ++i) {
      lp.entry[i].peRed = t[i].rgbRed;
      lp.entry[i].peGreen = t[i].rgbGreen;
      lp.entry[i].peBlue = t[i].rgbBlue;
      lp.entry[i].peFlags = 0;
    }
  }
  return CreatePalette((const LOGPALETTE*)&lp);
}

// ---------------------------------------------------------------- cache

// Deletes a palette of the cache. It may be the current palette, and it may
// be selected into the DCs of the open drawing scope: it is taken out of
// both first, since a palette must not be deleted while a DC holds it.
static void drop_palette(HPALETTE pal) {
  if (!pal) return;
  if (g_draw.palette == pal) g_draw.palette = nullptr;
  if (g_draw.depth > 0) {
    HPALETTE def = (HPALETTE)GetStockObject(DEFAULT_PALETTE);
    if (g_draw.wdc && GetCurrentObject(g_draw.wdc, OBJ_PAL) == pal) SelectPalette(g_draw.wdc, def, FALSE);
    if (g_draw.sdc && GetCurrentObject(g_draw.sdc, OBJ_PAL) == pal) SelectPalette(g_draw.sdc, def, FALSE);
  }
  DeleteObject(pal);
}

void release_bitmap() {
  if (g_bitmap.block) GlobalUnlock(g_bitmap.block);
  g_bitmap = CurrentBitmap{nullptr, nullptr, nullptr, 0, 0};
}

// Releases the packed bitmap and the palette that a record holds.
static void empty_record(BitmapRecord* r) {
  if (r->packed) {
    if (g_bitmap.block == r->packed) release_bitmap();
    mem_global_free(r->packed);
    r->packed = nullptr;
  }
  drop_palette(r->palette);
  r->palette = nullptr;
}

static bool lock_current(BitmapRecord* r) {
  if (!r->packed) return false;
  uint8_t* p = (uint8_t*)GlobalLock(r->packed);
  if (!p) return false;
  const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)p;
  g_bitmap.block = r->packed;
  g_bitmap.header = h;
  g_bitmap.pixels = p + INFO_SIZE + 4 * h->biClrUsed;
  g_bitmap.width = h->biWidth;
  g_bitmap.height = (int32_t)abs_height(h->biHeight);
  return true;
}

static BitmapRecord* find_record(const char* name) {
  for (BitmapRecord* r = s_first; r; r = r->next)
    if (lstrcmpiA(r->name, name) == 0) return r;
  return nullptr;
}

// Reads the file into a record; MSG_NONE or the message of the failing step.
static int load_record(BitmapRecord* r) {
  HANDLE f = open_bitmap_file(r->name);
  if (f == INVALID_HANDLE_VALUE) return MSG_BITMAP_READ;
  uint32_t colours = 0;
  HGLOBAL hb = read_bitmap_header(f, &colours);
  close_bitmap_file(f);
  if (!hb) return MSG_NOT_BITMAP;
  const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)GlobalLock(hb);
  uint32_t compression = h ? h->biCompression : 0;
  HPALETTE pal = h ? make_bitmap_palette(h, colours, g_draw.palette_mode) : nullptr;
  if (h) GlobalUnlock(hb);
  mem_global_free(hb);
  if (!pal) return MSG_CREATE_PALETTE;
  r->palette = pal;
  g_draw.palette = pal;
  int fail = compression != COMP_NONE ? MSG_RLE_LOAD : MSG_BITMAP_LOAD;

  // The whole bitmap. The file is read again from its start: what counts
  // from here on is the header of this second reading, checked again.
  f = open_bitmap_file(r->name);
  if (f == INVALID_HANDLE_VALUE) return fail;
  HGLOBAL block = read_bitmap_header(f, &colours);
  if (!block) {
    close_bitmap_file(f);
    return fail;
  }
  const BITMAPINFOHEADER* bh = (const BITMAPINFOHEADER*)GlobalLock(block);
  uint32_t pixel_bytes = bh ? bh->biSizeImage : 0;
  uint32_t width = bh ? (uint32_t)bh->biWidth : 0;
  uint32_t height = bh ? (uint32_t)abs_height(bh->biHeight) : 0;
  uint32_t bits = bh ? bh->biBitCount : 0;
  uint32_t comp2 = bh ? bh->biCompression : 0;
  if (bh) GlobalUnlock(block);
  uint32_t table_end = INFO_SIZE + 4 * colours;
  // A run-length picture is decoded to its full size when it is drawn, so
  // its decoded size counts against the limit as well as the bytes it holds.
  uint64_t decoded = bitmap_stride((int32_t)width, bits) * height;
  HGLOBAL big = nullptr;
  if (bh && pixel_bytes <= BITMAP_MAX_PIXEL_BYTES && decoded <= BITMAP_MAX_PIXEL_BYTES)
    big = (HGLOBAL)mem_global_realloc(block, table_end + pixel_bytes, GMEM_MOVEABLE | GMEM_ZEROINIT);
  if (!big) {
    mem_global_free(block);
    close_bitmap_file(f);
    return fail;
  }
  block = big;
  uint8_t* p = (uint8_t*)GlobalLock(block);
  if (!p) {
    mem_global_free(block);
    close_bitmap_file(f);
    return fail;
  }
  uint8_t* pixels = p + table_end;
  memset(pixels, 0, pixel_bytes);
  for (uint32_t done = 0; done < pixel_bytes;) {
    uint32_t want = pixel_bytes - done < READ_CHUNK ? pixel_bytes - done : READ_CHUNK;
    uint32_t n = read_bytes(f, pixels + done, want);
    done += n;
    if (n < want) break;  // the file ends early: the rest stays zero
  }
  close_bitmap_file(f);
  uint32_t used;
  bool ok = comp2 == COMP_NONE || rle_stream_ok(pixels, pixel_bytes, width, height, bits, &used);
  GlobalUnlock(block);
  if (!ok) {
    mem_global_free(block);
    return fail;
  }
  r->packed = block;
  lock_current(r);
  return MSG_NONE;
}

bool fetch_bitmap(const char* name) {
  release_bitmap();
  BitmapRecord* r = find_record(name);
  if (r) {
    if (lock_current(r)) {
      g_draw.palette = r->palette;
      return true;
    }
    empty_record(r);  // an earlier load failed: try the file again
  } else {
    r = (BitmapRecord*)mem_alloc(sizeof(BitmapRecord));
    size_t len = strlen(name);
    char* copy = r ? (char*)mem_alloc(len + 1) : nullptr;
    if (!copy) {
      mem_free(r);
      return false;
    }
    memcpy(copy, name, len + 1);
    r->name = copy;
    r->prev = s_last;
    if (s_last) s_last->next = r;
    else s_first = r;
    s_last = r;
  }
  int msg = load_record(r);
  if (msg != MSG_NONE) {
    set_error_only(msg);
    return false;
  }
  return true;
}

static void unlink_and_free(BitmapRecord* r) {
  if (r->prev) r->prev->next = r->next;
  else s_first = r->next;
  if (r->next) r->next->prev = r->prev;
  else s_last = r->prev;
  empty_record(r);
  mem_free(r->name);
  mem_free(r);
}

void remove_bitmap(const char* name) {
  BitmapRecord* r = find_record(name);
  if (r) unlink_and_free(r);
}

void clear_bitmap_cache() {
  while (s_first) unlink_and_free(s_first);
  g_draw.palette = nullptr;
}

void release_bitmap_cache() { clear_bitmap_cache(); }

uint32_t bitmap_cache_count() {
  uint32_t n = 0;
  for (BitmapRecord* r = s_first; r; r = r->next) ++n;
  return n;
}

// ---------------------------------------------------------------- GETBITMAPDIM

const ArgItem SYN_getbitmapdim[] = {LP_, STR_, CM_, NUMVAR_, CM_, NUMVAR_, CM_, NUMVAR_, RP_, END_};
bool cmd_getbitmapdim() {
  NumVar* height = arg_numvar(2);
  NumVar* width = arg_numvar(3);
  NumVar* bits = arg_numvar(4);
  height->value = width->value = bits->value = 0;
  HANDLE f = open_bitmap_file(arg_text(0));
  int msg = MSG_NONE;
  if (f == INVALID_HANDLE_VALUE) {
    msg = MSG_BITMAP_OPEN;
  } else {
    uint32_t colours;
    HGLOBAL b = read_bitmap_header(f, &colours);
    close_bitmap_file(f);
    const BITMAPINFOHEADER* h = b ? (const BITMAPINFOHEADER*)GlobalLock(b) : nullptr;
    if (h) {
      height->value = h->biHeight;
      width->value = h->biWidth;
      bits->value = h->biBitCount;
      GlobalUnlock(b);
    } else {
      msg = MSG_NOT_BITMAP;
    }
    if (b) mem_global_free(b);
  }
  if (msg != MSG_NONE)
    MessageBoxA(g_mainwnd, msg_text(msg), msg_text(MSG_BITMAPDIM_CAPTION), MB_OK | MB_ICONEXCLAMATION);
  return true;
}
