// Bitmap files on hostile input: the run-length walk, the header checks, the
// cache's reading rules, with real files in the temporary directory.
#include <gtest/gtest.h>
#include "test_random.h"
#include <windows.h>
#include <string>
#include <vector>
#include "graphics/bitmap_files.h"
#include "graphics/surface.h"
#include "host/window.h"
#include "script_fixture.h"

typedef std::vector<uint8_t> Bytes;

static void put16(Bytes& b, uint32_t v) {
  b.push_back((uint8_t)v);
  b.push_back((uint8_t)(v >> 8));
}
static void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

struct Info {
  int32_t w = 4, h = 2;
  uint32_t bits = 8, comp = 0, size_image = 0, clr_used = 0;
};

// File header + 40-byte header + table (4-byte entries) + pixels.
static Bytes dib(const Info& i, const Bytes& table, const Bytes& pixels, bool file_header = true) {
  Bytes b;
  if (file_header) {
    put16(b, 0x4D42);
    put32(b, 0);
    put32(b, 0);
    put32(b, 14 + 40 + (uint32_t)table.size());
  }
  put32(b, 40);
  put32(b, (uint32_t)i.w);
  put32(b, (uint32_t)i.h);
  put16(b, 1);
  put16(b, i.bits);
  put32(b, i.comp);
  put32(b, i.size_image);
  put32(b, 0);
  put32(b, 0);
  put32(b, i.clr_used);
  put32(b, 0);
  b.insert(b.end(), table.begin(), table.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

static std::string temp_path(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

static std::string write_temp(const char* name, const Bytes& data) {
  std::string p = temp_path(name);
  HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  if (!data.empty()) WriteFile(h, data.data(), (DWORD)data.size(), &n, nullptr);
  CloseHandle(h);
  return p;
}

// Reads the header of a file as the loader does; true when it is accepted.
static bool header_accepted(const Bytes& data, uint32_t* colours = nullptr, Bytes* block = nullptr) {
  std::string p = write_temp("tarvo_hdr.bmp", data);
  HANDLE f = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  uint32_t c = 0;
  HGLOBAL b = read_bitmap_header(f, &c);
  CloseHandle(f);
  DeleteFileA(p.c_str());
  if (!b) return false;
  if (colours) *colours = c;
  if (block) {
    const uint8_t* q = (const uint8_t*)GlobalLock(b);
    block->assign(q, q + GlobalSize(b));
    GlobalUnlock(b);
  }
  GlobalFree(b);
  return true;
}

TEST(BitmapRle, StreamsThatLeaveTheBitmapOrTheBufferAreRefused) {
  uint32_t used = 0;
  // 4 x 2, 8 bits: a run, an end of line, three pixels given one by one
  // (padded), a delta, the end of bitmap; bytes after the mark don't count.
  const uint8_t good[] = {4, 1, 0, 0, 0, 3, 7, 8, 9, 0, 0, 2, 1, 0, 0, 1, 0xEE, 0xEE};
  EXPECT_TRUE(rle_stream_ok(good, sizeof good, 4, 2, 8, &used));
  EXPECT_EQ(16u, used);

  const std::vector<Bytes> bad = {
      {5, 1, 0, 1},                    // a run too long for the row
      {4, 1, 0, 0},                    // no end mark
      {0, 4, 1, 2},                    // absolute run cut short
      {0, 6, 1, 2, 3, 4, 5, 6, 0, 1},  // absolute run too wide
      {0, 2, 1},                       // delta cut short
      {0, 2, 5, 0, 0, 1},              // delta beyond the width
      {0, 2, 0, 3, 0, 1},              // delta beyond the height
      {0, 0, 0, 0, 1, 1, 0, 1},        // pixels past the last row
      {0, 0, 0, 0, 0, 0, 0, 1},        // lines past the last row
      {4, 1, 0},                       // an odd byte
  };
  for (const Bytes& b : bad) EXPECT_FALSE(rle_stream_ok(b.data(), (uint32_t)b.size(), 4, 2, 8, &used)) << (&b - &bad[0]);
  EXPECT_FALSE(rle_stream_ok(good, 0, 4, 2, 8, &used));

  // Two lines ending exactly on the last row, then the mark: accepted.
  const uint8_t last_row[] = {4, 1, 0, 0, 4, 2, 0, 0, 0, 1};
  EXPECT_TRUE(rle_stream_ok(last_row, sizeof last_row, 4, 2, 8, &used));
}

TEST(BitmapRle, FourBitAbsoluteRunsArePaddedToWords) {
  uint32_t used = 0;
  // 5 pixels take 3 bytes, padded to 4; the mark follows.
  const uint8_t five[] = {0, 5, 0x12, 0x34, 0x50, 0, 0, 1};
  EXPECT_TRUE(rle_stream_ok(five, sizeof five, 8, 1, 4, &used));
  EXPECT_EQ(8u, used);
  // Counted as 8-bit data the same bytes would swallow the mark.
  EXPECT_FALSE(rle_stream_ok(five, sizeof five, 8, 1, 8, &used));
  // Without the pad byte the mark is read as pixel data: no mark left.
  const uint8_t unpadded[] = {0, 5, 0x12, 0x34, 0x50, 0, 1};
  EXPECT_FALSE(rle_stream_ok(unpadded, sizeof unpadded, 8, 1, 4, &used));
}

TEST(BitmapHeader, InconsistentHeadersAreRefused) {
  Bytes t8(4 * 256, 0x40), p8(8, 0);
  Info ok;
  EXPECT_TRUE(header_accepted(dib(ok, t8, p8)));

  // {width, height, bits, compression, image size, colours used}
  const std::vector<Info> bad = {
      {0}, {-4}, {4, 0}, {4, INT32_MIN}, {4, 2, 0}, {4, 2, 2}, {4, 2, 3}, {4, 2, 64},
      {4, 2, 8, 3},                    // bit fields
      {4, 2, 8, 2},                    // RLE4 with 8 bits
      {4, 2, 24, 1, 8},                // RLE8 with 24 bits
      {4, -2, 8, 1, 8},                // top-down RLE
      {4, 2, 24, 4},                   // JPEG
      {4, -2}, {4, -2, 24},            // top-down without an image size
      {4, 2, 8, 0, 7},                 // rows need 8 bytes
      {0x7FFFFFFF, 0x7FFFFFFF},
      {0x08000001, 4, 32},             // width x bits is 0x100000020, not a 4-byte row
      {0x10000, -0x10000, 24},
      {4, 2, 8, 0, 0, 257}, {4, 2, 8, 0, 0, 0xFFFF},
  };
  for (size_t k = 0; k < bad.size(); ++k) EXPECT_FALSE(header_accepted(dib(bad[k], t8, p8))) << k;

  // A colour count beyond the end of the file.
  Info many = ok;
  many.clr_used = 200;
  EXPECT_FALSE(header_accepted(dib(many, Bytes(4 * 10, 0), Bytes(), false)));
  // Header sizes other than 12 and 40, files shorter than a header: also a
  // complete 12-byte header, since 40 bytes are read whatever the size.
  Bytes v4 = dib(ok, t8, p8);
  for (uint8_t size : {64, 108}) {
    v4[14] = size;
    EXPECT_FALSE(header_accepted(v4)) << size;
  }
  EXPECT_FALSE(header_accepted(Bytes(v4.begin(), v4.begin() + 30)));
  EXPECT_FALSE(header_accepted(Bytes(v4.begin(), v4.begin() + 14)));
  EXPECT_FALSE(header_accepted(Bytes()));
  Bytes core_short = {12, 0, 0, 0, 4, 0, 2, 0, 1, 0, 1, 0};
  core_short.resize(12 + 6 + 8, 0);
  EXPECT_FALSE(header_accepted(core_short));
  core_short.resize(40 + 6, 0);
  EXPECT_TRUE(header_accepted(core_short));
  // A pixel offset inside the colour table.
  Bytes inside = dib(ok, t8, p8);
  inside[10] = 60;
  inside[11] = 0;
  EXPECT_FALSE(header_accepted(inside));
}

TEST(BitmapHeader, PackedHeaderAnnouncesExactlyWhatItCarries) {
  // 1 bit, colours used 0x10002: two entries, and the packed header says 2,
  // not a number that would make the system read 256 entries.
  Info one;
  one.bits = 1;
  one.clr_used = 0x10002;
  Bytes table = {0, 0, 255, 0, 255, 0, 0, 0};
  uint32_t colours = 0;
  Bytes block;
  ASSERT_TRUE(header_accepted(dib(one, table, Bytes(8, 0)), &colours, &block));
  EXPECT_EQ(2u, colours);
  const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)block.data();
  EXPECT_EQ(2u, h->biClrUsed);
  EXPECT_EQ(8u, h->biSizeImage);   // 4 pixels of 1 bit, 2 rows padded to 4 bytes
  // Colours used 0x10000: the low word says no colour table, which pixels
  // of 8 bits or fewer cannot do without; the bit count does not stand in.
  one.clr_used = 0x10000;
  EXPECT_FALSE(header_accepted(dib(one, table, Bytes(8, 0))));
  Info rgb = one;
  rgb.bits = 24;
  ASSERT_TRUE(header_accepted(dib(rgb, Bytes(), Bytes(24, 0)), &colours, &block));
  EXPECT_EQ(0u, colours);
  EXPECT_EQ(0u, ((const BITMAPINFOHEADER*)block.data())->biClrUsed);

  // A core header without file header: widened, 3-byte entries become
  // 4-byte entries in order, the 16-bit sizes zero-extended.
  Bytes core;
  put32(core, 12);
  put16(core, 40000);
  put16(core, 3);
  put16(core, 1);
  put16(core, 4);
  for (int k = 0; k < 16; ++k) {
    core.push_back((uint8_t)k);
    core.push_back((uint8_t)(k + 100));
    core.push_back((uint8_t)(k + 200));
  }
  core.resize(core.size() + 20000 * 3, 0);
  ASSERT_TRUE(header_accepted(core, &colours, &block));
  h = (const BITMAPINFOHEADER*)block.data();
  EXPECT_EQ(40u, h->biSize);
  EXPECT_EQ(40000, h->biWidth);
  EXPECT_EQ(3, h->biHeight);
  EXPECT_EQ(16u, colours);
  EXPECT_EQ(16u, h->biClrImportant);
  EXPECT_EQ(60000u, h->biSizeImage);
  EXPECT_EQ(Bytes({15, 115, 215, 0}), Bytes(block.data() + 40 + 4 * 15, block.data() + 40 + 4 * 16));
}

TEST(BitmapPalette, TableColoursOrTheColourCube) {
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD t[2];
  } b = {};
  b.h.biBitCount = 24;
  b.t[1] = {30, 20, 10, 0};  // blue, green, red
  PALETTEENTRY e[256];
  auto rgb = [](const PALETTEENTRY& x) { return RGB(x.peRed, x.peGreen, x.peBlue); };
  // No table, 24 bits, BITMAP mode: the cube; its last entry is 224, 224, 192.
  HPALETTE p = make_bitmap_palette(&b.h, 0, 0);
  ASSERT_NE(nullptr, p);
  ASSERT_EQ(256u, GetPaletteEntries(p, 0, 256, e));
  EXPECT_EQ(RGB(224, 224, 192), rgb(e[255]));
  EXPECT_EQ(RGB(32 * 3, 32 * 5, 128), rgb(e[3 + 8 * 5 + 64 * 2]));
  DeleteObject(p);
  // A table in BITMAP mode: its colours; in GENERATE mode: the cube.
  b.h.biBitCount = 1;
  p = make_bitmap_palette(&b.h, 2, 0);
  ASSERT_EQ(2u, GetPaletteEntries(p, 0, 256, e));
  EXPECT_EQ(RGB(10, 20, 30), rgb(e[1]));
  DeleteObject(p);
  p = make_bitmap_palette(&b.h, 2, 1);
  EXPECT_EQ(256u, GetPaletteEntries(p, 0, 0, nullptr));
  DeleteObject(p);
  // No table and not 24 bits: none in BITMAP mode, the cube in GENERATE mode.
  b.h.biBitCount = 16;
  EXPECT_EQ(nullptr, make_bitmap_palette(&b.h, 0, 0));
  p = make_bitmap_palette(&b.h, 0, 1);
  EXPECT_NE(nullptr, p);
  DeleteObject(p);
}

// ---------------------------------------------------------------- the cache

static uint8_t first_pixel() { return g_bitmap.pixels ? g_bitmap.pixels[0] : 0xFF; }

// Which file is read when is watched by the script cases; here the palette
// that goes with a cached picture.
TEST(BitmapCache, CachedPictureKeepsItsPaletteUntilRemoved) {
  clear_bitmap_cache();
  g_draw.palette_mode = 0;
  Info i;
  i.bits = 4;
  i.clr_used = 16;
  std::string p = write_temp("tarvo_cache.bmp", dib(i, Bytes(16 * 4, 0x80), Bytes(8, 0x11)));
  ASSERT_TRUE(fetch_bitmap(p.c_str()));
  EXPECT_EQ(0x11, first_pixel());
  HPALETTE pal = g_draw.palette;
  ASSERT_NE(nullptr, pal);
  EXPECT_EQ(16u, GetPaletteEntries(pal, 0, 0, nullptr));
  release_bitmap();
  // Fetched again in GENERATE mode under another case: the same picture and palette.
  g_draw.palette_mode = 1;
  std::string upper = p;
  CharUpperA(&upper[0]);
  ASSERT_TRUE(fetch_bitmap(upper.c_str()));
  EXPECT_EQ(pal, g_draw.palette);
  EXPECT_EQ(1u, bitmap_cache_count());
  release_bitmap();
  g_draw.palette_mode = 0;
  remove_bitmap(upper.c_str());
  EXPECT_EQ(0u, bitmap_cache_count());
  EXPECT_EQ(nullptr, g_draw.palette);
  ASSERT_TRUE(fetch_bitmap(p.c_str()));
  release_bitmap();
  clear_bitmap_cache();
  EXPECT_EQ(0u, bitmap_cache_count());
  EXPECT_EQ(nullptr, g_draw.palette);
  DeleteFileA(p.c_str());
}

TEST(BitmapCache, FailedLoadStaysCachedAndIsRetried) {
  clear_bitmap_cache();
  g_draw.palette_mode = 0;
  std::string p = temp_path("tarvo_later.bmp");
  DeleteFileA(p.c_str());
  g_error = MSG_NONE;
  EXPECT_FALSE(fetch_bitmap(p.c_str()));
  EXPECT_EQ(MSG_BITMAP_READ, g_error);
  EXPECT_EQ(1u, bitmap_cache_count());

  Info i;
  write_temp("tarvo_later.bmp", dib(i, Bytes(4 * 256, 0), Bytes(8, 0x33)));
  ASSERT_TRUE(fetch_bitmap(p.c_str()));
  EXPECT_EQ(0x33, first_pixel());
  EXPECT_EQ(1u, bitmap_cache_count());
  release_bitmap();
  clear_bitmap_cache();
  DeleteFileA(p.c_str());
}

TEST(BitmapCache, EachFailingStepHasItsMessage) {
  clear_bitmap_cache();
  struct Case {
    const char* name;
    Bytes data;
    int32_t mode;
    int msg;
  };
  std::vector<Case> cases = {
      {"tarvo_m1.bmp", dib(Info{4, 2, 5}, Bytes(), Bytes(8, 0)), 0, MSG_NOT_BITMAP},
      {"tarvo_m2.bmp", dib(Info{4, 2, 16}, Bytes(), Bytes(16, 0)), 0, MSG_CREATE_PALETTE},
      {"tarvo_m3.bmp", dib(Info{4, 2, 16}, Bytes(), Bytes(16, 0)), 1, MSG_NONE},
      {"tarvo_m4.bmp", dib(Info{4, 2, 8, 1, 4}, Bytes(1024, 0), {9, 1, 0, 1}), 0, MSG_RLE_LOAD},
      {"tarvo_m5.bmp", dib(Info{4, 2, 8, 1, 4}, Bytes(1024, 0), {4, 1, 0, 1}), 0, MSG_NONE},
      // one line too many for the height; the stream cut short (the rest
      // reads as zeros: no end mark); more than the size limit
      {"tarvo_m8.bmp", dib(Info{4, 2, 8, 1, 8}, Bytes(1024, 0), {0, 0, 0, 0, 0, 0, 0, 1}), 0, MSG_RLE_LOAD},
      {"tarvo_m9.bmp", dib(Info{4, 2, 8, 1, 4}, Bytes(1024, 0), {4, 1}), 0, MSG_RLE_LOAD},
      {"tarvo_m10.bmp", dib(Info{4, 2, 8, 1, 0x7FFFFFF0}, Bytes(1024, 0), {4, 1, 0, 1}), 0, MSG_RLE_LOAD},
      {"tarvo_m6.bmp", dib(Info{20000, 20000}, Bytes(1024, 0), Bytes(8, 0)), 0, MSG_BITMAP_LOAD},
      // two of four rows present: loads, the missing rows are zero
      {"tarvo_m7.bmp", dib(Info{4, 4}, Bytes(1024, 0), Bytes(8, 0x44)), 0, MSG_NONE},
  };
  for (const Case& c : cases) {
    std::string p = write_temp(c.name, c.data);
    g_draw.palette_mode = c.mode;
    g_error = MSG_NONE;
    bool ok = fetch_bitmap(p.c_str());
    EXPECT_EQ(c.msg == MSG_NONE, ok) << c.name;
    EXPECT_EQ(c.msg, g_error) << c.name;
    if (ok && c.data.size() == 14 + 40 + 1024 + 8) {
      ASSERT_EQ(4, g_bitmap.height);
      EXPECT_EQ(0x44, g_bitmap.pixels[7]);
      EXPECT_EQ(0, g_bitmap.pixels[8]);
      EXPECT_EQ(0, g_bitmap.pixels[15]);
    }
    release_bitmap();
    DeleteFileA(p.c_str());
  }
  g_draw.palette_mode = 0;
  clear_bitmap_cache();
}

TEST(BitmapCommands, UseCursorSetsTheSharedSystemCursor) {
  for (auto c : {std::make_pair("WAIT", IDC_WAIT), std::make_pair("APPSTARTING", IDC_APPSTARTING),
                 std::make_pair("SIZENESW", IDC_SIZENESW)}) {
    EXPECT_EQ(MSG_NONE, run_script(std::string("USECURSOR (") + c.first + ")\r\n").msg);
    EXPECT_EQ(LoadCursorA(nullptr, c.second), g_cursor) << c.first;
  }
  unload_script();
}

// Valid files of every kind with random bytes changed (mostly in the headers
// and the colour table), cut short or lengthened, loaded and drawn the way
// the drawing commands draw them. Whatever a file claims, a picture that
// loads must hold, inside its own memory block, the colour table and the
// pixel bytes that its header makes the system read; nothing may crash.
TEST(BitmapFiles, DamagedFilesLoadSafelyOrAreRefused) {
  clear_bitmap_cache();
  Bytes table(4 * 256, 0x40);
  std::vector<Bytes> seeds;
  for (uint32_t bits : {1u, 4u, 8u, 24u, 32u}) {
    Info i;
    i.w = 5;
    i.h = 3;
    i.bits = bits;
    i.clr_used = bits <= 8 ? 1u << bits : 0;
    seeds.push_back(dib(i, bits <= 8 ? Bytes(table.begin(), table.begin() + 4 * (1 << bits)) : Bytes(),
                        Bytes((size_t)bitmap_stride(5, bits) * 3, 0x5A)));
  }
  Info rle8;
  rle8.comp = 1;
  rle8.clr_used = 4;
  rle8.size_image = 8;
  seeds.push_back(dib(rle8, Bytes(16, 0x20), {4, 1, 0, 0, 2, 2, 0, 1}));
  Info rle4 = rle8;
  rle4.comp = 2;
  rle4.bits = 4;
  seeds.push_back(dib(rle4, Bytes(16, 0x20), {4, 0x12, 0, 0, 3, 0x34, 0, 1}));

  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(dc, target);
  ReleaseDC(nullptr, screen);

  Rng rng{0x3C1E55A1};
  auto rnd = [&rng](uint32_t n) { return rng.below(n); };
  static const uint8_t kValues[] = {0, 1, 2, 4, 8, 0x10, 0x18, 0x20, 0x28, 0x7F, 0x80, 0xFF};
  int loaded = 0;
  for (int round = 0; round < 1500; ++round) {
    Bytes data = seeds[rnd((uint32_t)seeds.size())];
    for (uint32_t k = 1 + rnd(4); k > 0; --k) {
      size_t at = rnd(4) ? rnd(14 + 40 + 64) : rnd((uint32_t)data.size());
      if (at >= data.size()) continue;
      data[at] = rnd(2) ? kValues[rnd(sizeof kValues)] : (uint8_t)rnd(256);
    }
    if (rnd(8) == 0) data.resize(rnd((uint32_t)data.size() + 1));
    if (rnd(8) == 0) data.resize(data.size() + rnd(64), 0x33);
    std::string p = write_temp("tarvo_damaged.bmp", data);
    g_draw.palette_mode = (int32_t)rnd(2);
    g_error = MSG_NONE;
    if (fetch_bitmap(p.c_str())) {
      ++loaded;
      const BITMAPINFOHEADER* h = g_bitmap.header;
      ASSERT_EQ(40u, h->biSize);
      size_t block = GlobalSize(g_bitmap.block);
      size_t table_end = 40 + 4 * (size_t)h->biClrUsed;
      if (h->biBitCount <= 8) {
        ASSERT_NE(0u, h->biClrUsed) << round;
        ASSERT_LE(h->biClrUsed, 256u) << round;
      }
      ASSERT_EQ((const uint8_t*)h + table_end, g_bitmap.pixels) << round;
      uint64_t needed = h->biCompression == BI_RGB
                            ? bitmap_stride(h->biWidth, h->biBitCount) * (uint64_t)g_bitmap.height
                            : h->biSizeImage;
      ASSERT_LE(table_end + needed, (uint64_t)block) << round;
      ASSERT_GT(g_bitmap.width, 0);
      ASSERT_GT(g_bitmap.height, 0);
      // Whatever loads, compressed or not, decodes to at most the limit.
      uint64_t decoded = bitmap_stride(h->biWidth, h->biBitCount) * (uint64_t)g_bitmap.height;
      ASSERT_LE(decoded, (uint64_t)BITMAP_MAX_PIXEL_BYTES) << round;
      // Drawing is checked on pictures of up to a megabyte (larger ones
      // only cost the system time to scale).
      if (decoded <= (1u << 20))
        StretchDIBits(dc, 0, 0, 32, 32, 0, 0, g_bitmap.width, g_bitmap.height, g_bitmap.pixels,
                    (const BITMAPINFO*)h, DIB_RGB_COLORS, SRCCOPY);
    } else {
      ASSERT_NE(MSG_NONE, g_error) << round;
    }
    release_bitmap();
    remove_bitmap(p.c_str());
  }
  DeleteFileA(temp_path("tarvo_damaged.bmp").c_str());
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
  g_draw.palette_mode = 0;
  // The damage must leave a good share of files loadable, or the checks above
  // would see too little.
  EXPECT_GT(loaded, 150);
  EXPECT_LT(loaded, 1400);
}
