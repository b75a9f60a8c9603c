// The writers over memory: the DIB file writer with the native block
// double, the text conversion against its byte-at-a-time reference; and the
// sink that writes bitmap files in pieces.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "castexport/file_sinks.h"
#include "castexport/media_writers.h"
#include "dib/dib_writer.h"
#include "support/memory_sink.h"
#include "support/packed_dib.h"
#include "tests/doubles/native_fs.h"
#include "tests/doubles/native_global.h"

namespace tamarisk {
namespace {

// A header alone, of 0 x 0 pixels: no colour table, no pixels.
std::vector<uint8> Header(uint32 colorsUsed, uint16 bits) {
  return test::PackedDib({0, 0, bits, 0, colorsUsed, 0, 0, 0});
}

class DibWriter : public ::testing::Test {
 protected:
  void SetUp() override { sim::NativeFs().Reset(); }
  void TearDown() override {
    for (sim::NativeGlobalBlock* b : blocks_) {
      EXPECT_EQ(0, b->locks) << "the block is unlocked on every path";
      sim::NativeGlobalFree(b);
    }
  }
  sim::NativeGlobalBlock* Block(const std::vector<uint8>& bytes) {
    blocks_.push_back(sim::NativeGlobalAlloc(bytes));
    return blocks_.back();
  }
  std::vector<sim::NativeGlobalBlock*> blocks_;
};

TEST_F(DibWriter, ColourCounts) {
  EXPECT_EQ(2u, DibColorCount(Header(0, 1).data()));
  EXPECT_EQ(16u, DibColorCount(Header(0, 4).data()));
  EXPECT_EQ(256u, DibColorCount(Header(0, 8).data()));
  EXPECT_EQ(0u, DibColorCount(Header(0, 24).data()));
  EXPECT_EQ(7u, DibColorCount(Header(7, 24).data()));
  EXPECT_EQ(0u, DibColorTableSize(Header(0x10000, 8).data())) << "a 16-bit quantity";
  EXPECT_EQ(4u, DibColorTableSize(Header(0x10001, 8).data()));
  for (uint16 bits : {1, 8, 16, 24, 32}) {
    std::vector<uint8> h = Header(0, bits);
    EXPECT_EQ(0u, DibColorMasksSize(h.data())) << bits;
    h[16] = 3;  // bit fields
    EXPECT_EQ(bits == 16 || bits == 32 ? 12u : 0u, DibColorMasksSize(h.data())) << bits;
  }
}

TEST_F(DibWriter, WhatCannotBeConvertedWritesNothing) {
  test::MemorySink sink;
  EXPECT_EQ(WriteOutcome::kNotConverted, WriteDibFile(nullptr, sink)) << "no block";
  sim::NativeGlobalBlock* locked = Block(Header(0, 24));
  locked->lockFails = true;
  EXPECT_EQ(WriteOutcome::kNotConverted, WriteDibFile(locked, sink))
      << "a block that cannot be locked";
  const std::vector<uint8> small = test::PackedDib({0, 0, 24, 0, 0, 0, 0, 0, 12});
  EXPECT_EQ(WriteOutcome::kNotConverted, WriteDibFile(Block(small), sink)) << "another header";
  const std::vector<uint8> wide = test::PackedDib({1, 1, 24, 0, 0, 0, 0, 0});  // no pixels held
  EXPECT_EQ(WriteOutcome::kNotConverted, WriteDibFile(Block(wide), sink)) << "pixels missing";
  EXPECT_TRUE(sink.writes.empty());
  EXPECT_EQ(0, sink.finishes);
}

TEST_F(DibWriter, AFileHeaderThenTheBlocksBytes) {
  std::vector<uint8> dib = Header(0, 8);  // 0 x 0 pixels, 256 colours
  dib.resize(40 + 1024, 0x11);
  test::MemorySink sink;
  EXPECT_EQ(WriteOutcome::kWritten, WriteDibFile(Block(dib), sink));
  EXPECT_EQ((std::vector<std::size_t>{14, 40 + 1024}), sink.writes);
  EXPECT_EQ(1, sink.finishes);
  ASSERT_EQ(14u + 40 + 1024, sink.bytes.size());
  EXPECT_EQ(std::string("BM\x36\x04\0\0\0\0\0\0\x36\x04\0\0", 14), sink.bytes.substr(0, 14));
}

TEST_F(DibWriter, ShortWritesAreFailures) {
  std::vector<uint8> dib = Header(0, 24);  // 0 x 0 pixels: 54 bytes in all
  for (const std::size_t room : {0u, 10u, 14u, 30u, 53u, 54u}) {
    test::MemorySink sink;
    sink.room = room;
    EXPECT_EQ(room < 54 ? WriteOutcome::kNotWritten : WriteOutcome::kWritten,
              WriteDibFile(Block(dib), sink))
        << room;
    EXPECT_EQ(room < 14 ? 1u : 2u, sink.writes.size()) << "nothing after a short header";
  }
}

// The bitmap file goes to the platform in _lwrite pieces of at most 32767
// bytes, as it always has; a piece written short is the last one asked.
TEST_F(DibWriter, PieceBoundaries) {
  const struct {
    uint32 count;
    long room;  // on the disk; -1: unlimited
    std::vector<uint32> pieces;
  } rows[] = {
      {0, -1, {0}},
      {1, -1, {1}},
      {32767, -1, {32767}},
      {32768, -1, {32767, 1}},
      {65534, -1, {32767, 32767}},
      {65535, -1, {32767, 32767, 1}},
      {65535, 40000, {32767, 32767}},     // a piece in the middle written short
      {65535, 65534, {32767, 32767, 1}},  // the last one written short
  };
  std::vector<uint8> data(65536, 0x5A);
  for (const auto& row : rows) {
    sim::NativeFs().Reset();
    sim::NativeFs().diskSpace = row.room;
    const bool fits = row.room < 0;
    {
      PiecewiseFileSink sink("C:\\c.bin");
      EXPECT_EQ(fits, sink.Write(data.data(), row.count)) << row.count;
      EXPECT_EQ(fits, sink.Finish()) << row.count;
    }
    EXPECT_EQ(row.pieces, sim::NativeFs().lowLevelWrites) << row.count << " " << row.room;
    EXPECT_EQ(static_cast<std::size_t>(fits ? row.count : row.room),
              sim::NativeFs().Find("C:\\c.bin")->bytes.size());
  }
}

// The conversion block is flushed when less than a chunk and a line end
// fit: a line end (CR, LF, CR LF) at every offset around each flush, with
// the text's chunks falling at each of 16 places and its end at each place
// of a chunk, in blocks of exactly their size on the heap, so that ASan sees
// a byte written past one; by sixteen bytes and by words.
TEST(TextWriter, LineEndsAroundEveryFlush) {
  using Writer = void (*)(const char*, ByteSink&, char*, std::size_t);
  for (std::size_t blockSize = 64; blockSize <= 72; ++blockSize) {
    std::unique_ptr<char[]> block(new char[blockSize]);
    for (std::size_t shift = 0; shift < 16; ++shift) {
      for (const std::string lineEnd : {"\r", "\n", "\r\n"}) {
        for (std::size_t at = 16; at < 3 * blockSize; ++at) {
          // Starting shift bytes into the string, whose own start is aligned.
          std::string text(shift + 4 * blockSize + at % 16, 'w');
          text[shift + shift / 2] = '\n';
          text.replace(shift + at, lineEnd.size(), lineEnd);
          test::MemorySink reference;
          test::WriteTextWithCrLfByBytes(text.c_str() + shift, reference);
          for (const Writer write : {&WriteTextWithCrLf, &WriteTextWithCrLfByWords}) {
            test::MemorySink fast;
            write(text.c_str() + shift, fast, block.get(), blockSize);
            ASSERT_EQ(reference.bytes, fast.bytes)
                << blockSize << " " << shift << " " << at << (write == &WriteTextWithCrLf);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tamarisk
