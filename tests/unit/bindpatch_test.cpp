// The binder's patching: it must find the record that the runtime declares,
// write the offset where the runtime reads it, and scramble so that the
// runtime's unscrambling (minus 64) restores every byte.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>
#include <vector>
#include "core/runtime.h"
#include "tools/binder/bindpatch.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The runtime's own record, as its initialised data holds it.
void append_record(Bytes* image, uint32_t offset) {
  BindRecord r = {TARVO_BIND_MARKER, 0};
  r.offset = offset;
  const unsigned char* p = (const unsigned char*)&r;
  image->insert(image->end(), p, p + sizeof r);
}

// Code-like filler around the record, with marker fragments that must not
// count: the text without its NUL padding and a truncated marker.
Bytes runtime_image(uint32_t offset = 0) {
  Bytes b(1000, 0x90);
  for (const char* p = "TarvoScriptOffset:v1:X"; *p; ++p) b.push_back((unsigned char)*p);
  b.insert(b.end(), 37, 0xCC);
  append_record(&b, offset);
  b.insert(b.end(), 500, 0x00);
  return b;
}

}  // namespace

TEST(BindPatch, RecordLayoutAgreesWithTheRuntime) {
  EXPECT_STREQ(kBindMarker, TARVO_BIND_MARKER);
  EXPECT_EQ(sizeof(BindRecord::marker), kBindMarkerBytes);
  EXPECT_EQ(offsetof(BindRecord, offset), kBindFieldOffset);
  EXPECT_EQ(sizeof(BindRecord), kBindRecordBytes);
}

TEST(BindPatch, BoundImageIsRuntimeThenScrambledScriptWithOffset) {
  Bytes runtime = runtime_image();
  Bytes script;
  for (int i = 0; i < 256; ++i) script.push_back((unsigned char)i);
  Bytes out;
  ASSERT_EQ(bind_make(runtime, script, &out), BIND_OK);
  ASSERT_EQ(out.size(), runtime.size() + script.size());

  size_t field = 0;
  EXPECT_EQ(bind_find_record(runtime.data(), runtime.size(), &field), BIND_OK);
  EXPECT_EQ(field, 1000u + 22 + 37 + 24);
  EXPECT_EQ(bind_read_offset(out.data(), field), runtime.size());
  for (size_t i = 0; i < runtime.size(); ++i) {
    if (i < field || i >= field + 4) {
      ASSERT_EQ(out[i], runtime[i]) << i;
    }
  }
  // The runtime subtracts 64 from every byte after the offset.
  for (size_t i = 0; i < script.size(); ++i)
    ASSERT_EQ((unsigned char)(out[runtime.size() + i] - 64), script[i]) << i;
  EXPECT_EQ(out[runtime.size() + 0xC0], 0x00);  // wraps around
  EXPECT_EQ(out[runtime.size() + 0xFF], 0x3F);
  EXPECT_EQ(out[runtime.size() + 'E'], 0x85);

  // An empty script still marks the runtime as bound.
  Bytes empty_out;
  ASSERT_EQ(bind_make(runtime, Bytes(), &empty_out), BIND_OK);
  EXPECT_EQ(empty_out.size(), runtime.size());
  EXPECT_EQ(bind_read_offset(empty_out.data(), field), runtime.size());
}

TEST(BindPatch, RefusesWhatItCannotBind) {
  Bytes keep = {1, 2, 3};
  Bytes out = keep;
  Bytes script = {'E', 'N', 'D'};

  // Not a runtime: no marker, or only a marker without room for the field.
  Bytes no_record(2000, 0x41);
  EXPECT_EQ(bind_make(no_record, script, &out), BIND_NO_RECORD);
  Bytes cut = runtime_image();
  cut.resize(cut.size() - 500 - 2);
  EXPECT_EQ(bind_make(cut, script, &out), BIND_NO_RECORD);

  // Two records: it cannot know which one the runtime reads.
  Bytes twice = runtime_image();
  append_record(&twice, 0);
  EXPECT_EQ(bind_make(twice, script, &out), BIND_MANY_RECORDS);

  // A bound runtime, and a runtime whose field is not 0 for another reason.
  Bytes bound;
  ASSERT_EQ(bind_make(runtime_image(), script, &bound), BIND_OK);
  EXPECT_EQ(bind_make(bound, script, &out), BIND_ALREADY_BOUND);
  EXPECT_EQ(bind_make(runtime_image(0x01000000), script, &out), BIND_ALREADY_BOUND);

  EXPECT_EQ(out, keep);  // failures leave the output alone
}
