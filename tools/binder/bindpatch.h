// Making a bound runtime: a copy of the runtime's executable followed by the
// script, every script byte raised by 64 (mod 256), with the script offset
// in the runtime's data set to the byte where the script starts.
//
// The runtime keeps the offset in a record of its initialised data: 24 bytes
// of marker text (NUL-padded) followed by the offset as a little-endian
// 32-bit number, 0 in an unbound runtime. The binder finds the record by its
// marker, which must occur exactly once in the runtime file.
//
// Standard C++ only, so that the binder builds for any system.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <vector>

// Same text as TARVO_BIND_MARKER of the runtime.
inline constexpr char kBindMarker[] = "TarvoScriptOffset:v1:";
inline constexpr size_t kBindMarkerBytes = 24;   // marker field, NUL-padded
inline constexpr size_t kBindFieldOffset = 24;   // offset field in the record
inline constexpr size_t kBindRecordBytes = 28;
static_assert(sizeof(kBindMarker) <= kBindMarkerBytes, "marker too long");

enum BindResult {
  BIND_OK,
  BIND_NO_RECORD,      // marker not found
  BIND_MANY_RECORDS,   // marker found more than once
  BIND_ALREADY_BOUND,  // offset field is not 0
  BIND_TOO_LARGE,      // the result would not fit 32-bit file offsets
};

inline const char* bind_result_text(BindResult r) {
  switch (r) {
    case BIND_OK: return "bound";
    case BIND_NO_RECORD:
      return "the script offset record was not found: not a Tarvo runtime";
    case BIND_MANY_RECORDS:
      return "the script offset record occurs more than once: cannot tell "
             "which one the runtime reads";
    case BIND_ALREADY_BOUND:
      return "the runtime already carries a script (its script offset is "
             "not 0); bind an unbound runtime";
    case BIND_TOO_LARGE:
      return "runtime and script together exceed 4 GiB - 1 bytes";
  }
  return "unknown result";
}

// Finds the record in a file image. On BIND_OK *field is the position of the
// offset field. Only a marker with room for the whole record behind it
// counts.
inline BindResult bind_find_record(const unsigned char* data, size_t size,
                                   size_t* field) {
  unsigned char pattern[kBindMarkerBytes] = {};
  memcpy(pattern, kBindMarker, sizeof(kBindMarker) - 1);
  const unsigned char* end = data + size;
  const unsigned char* found = nullptr;
  const unsigned char* p = data;
  for (;;) {
    p = std::search(p, end, pattern, pattern + kBindMarkerBytes);
    if (p == end) break;
    if ((size_t)(end - p) >= kBindRecordBytes) {
      if (found) return BIND_MANY_RECORDS;
      found = p;
    }
    ++p;
  }
  if (!found) return BIND_NO_RECORD;
  *field = (size_t)(found - data) + kBindFieldOffset;
  return BIND_OK;
}

inline uint32_t bind_read_offset(const unsigned char* data, size_t field) {
  return (uint32_t)data[field] | (uint32_t)data[field + 1] << 8 |
         (uint32_t)data[field + 2] << 16 | (uint32_t)data[field + 3] << 24;
}

// The scrambling that the runtime undoes while it reads a bound script.
inline unsigned char bind_scramble(unsigned char c) {
  return (unsigned char)(c + 64);
}

// Builds the bound runtime in *out: runtime, then the scrambled script, the
// offset field holding the runtime's size. *out is untouched on failure.
inline BindResult bind_make(const std::vector<unsigned char>& runtime,
                            const std::vector<unsigned char>& script,
                            std::vector<unsigned char>* out) {
  size_t field = 0;
  BindResult r = bind_find_record(runtime.data(), runtime.size(), &field);
  if (r != BIND_OK) return r;
  if (bind_read_offset(runtime.data(), field) != 0) return BIND_ALREADY_BOUND;
  // The runtime reads sizes and positions as 32-bit numbers.
  if ((uint64_t)runtime.size() + script.size() > 0xFFFFFFFFu)
    return BIND_TOO_LARGE;
  uint32_t offset = (uint32_t)runtime.size();
  std::vector<unsigned char> bound;
  bound.reserve(runtime.size() + script.size());
  bound.insert(bound.end(), runtime.begin(), runtime.end());
  for (int i = 0; i < 4; ++i)
    bound[field + i] = (unsigned char)(offset >> (8 * i));
  for (unsigned char c : script) bound.push_back(bind_scramble(c));
  out->swap(bound);
  return BIND_OK;
}
