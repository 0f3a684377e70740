// Bitmap files and the bitmap cache.
//
// A bitmap file (with or without its 14-byte file header, with a 40-byte
// info header or a 12-byte core header, uncompressed or run-length encoded)
// is read into one movable memory block, the packed bitmap: a 40-byte info
// header, the colour table as 4-byte entries, then the pixel bytes exactly as
// the file holds them. Run-length data is decoded by the graphics system when
// the bitmap is drawn; it is only checked here. Each loaded file gets a
// logical palette, and both are kept in the cache under the file name as the
// script wrote it, looked up without regard to case.
//
// Files are untrusted: every header is checked so that the packed bitmap
// always holds the colour table and the pixel bytes that its own header
// announces, and a run-length stream never leaves the bitmap or its buffer.
#pragma once
#include <windows.h>
#include <stdint.h>

struct BitmapRecord {
  char* name;            // copy of the name as the script gave it
  HGLOBAL packed;        // packed bitmap, or null after a failed load
  HPALETTE palette;      // made when the file was loaded, or null
  BitmapRecord* next;    // oldest first
  BitmapRecord* prev;
};

// The packed bitmap fetched last, locked while a drawing command uses it.
struct CurrentBitmap {
  HGLOBAL block;                 // null when nothing is locked
  const BITMAPINFOHEADER* header;
  const uint8_t* pixels;         // behind the colour table
  int32_t width, height;         // height as drawn: always positive
};
extern CurrentBitmap g_bitmap;

// Makes the named bitmap the current bitmap (locked) and its palette the
// current palette, loading the file when the name is not cached. False with
// the error slot set (MSG_NONE when no memory for a new record could be had).
bool fetch_bitmap(const char* name);
// Unlocks the current bitmap.
void release_bitmap();
// Forgets one cached bitmap (nothing happens for a name not cached).
void remove_bitmap(const char* name);
// Forgets every cached bitmap.
void clear_bitmap_cache();
// Clean-up at the end of the program: deletes the palettes of the cached
// bitmaps and releases the records.
void release_bitmap_cache();

// ---- reading and checking, shared with GETBITMAPDIM and the unit tests

// The largest pixel block the runtime takes on (64 MB: a 4096 x 4096
// picture at 32 bits per pixel). Larger pictures fail to load as if memory
// had run out; for a run-length picture the size it decodes to counts too.
const uint32_t BITMAP_MAX_PIXEL_BYTES = 64u << 20;

// Bytes of one row of pixels, padded to 32 bits; 0 when the width or bit
// count is out of range.
uint64_t bitmap_stride(int32_t width, uint32_t bits);

// From a file opened for reading and positioned at its start: a movable
// block with the 40-byte header (widened from a core header, zero fields
// filled in) and the colour table as 4-byte entries; the file position then
// stands at the first pixel byte. Null when the header is short, of another
// size, or inconsistent. colours receives the colour count.
HGLOBAL read_bitmap_header(HANDLE file, uint32_t* colours);

// Checks a widened, filled-in header (as read_bitmap_header makes it) for the
// facts that the drawing relies on. pixel_bytes receives the number of pixel
// bytes that the packed bitmap holds for it.
bool bitmap_header_ok(const BITMAPINFOHEADER* h, uint32_t colours, uint32_t* pixel_bytes);

// Walks a run-length stream (8 or 4 bits per pixel) as the graphics system
// will decode it: true when every run stays inside width x height, every
// escape is complete inside the size bytes, and an end-of-bitmap mark comes
// before the end. used receives the bytes up to and including that mark.
bool rle_stream_ok(const uint8_t* data, uint32_t size, uint32_t width, uint32_t height,
                   uint32_t bits, uint32_t* used);

// Logical palette for a header and the palette mode: the colour table's
// colours (BITMAP mode) or the 256-colour cube (GENERATE mode, and 24-bit
// files without colour table). Null when none can be made.
HPALETTE make_bitmap_palette(const BITMAPINFOHEADER* h, uint32_t colours, int32_t palette_mode);

// Number of records in the cache (tests and diagnostics).
uint32_t bitmap_cache_count();
