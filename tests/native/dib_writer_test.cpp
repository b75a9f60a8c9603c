// The DIB file writer's own results, with the native block and file doubles.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dib/dib_writer.h"
#include "platform/platform.h"
#include "tests/doubles/native_fs.h"
#include "tests/doubles/native_global.h"

namespace tamarisk {
namespace {

std::vector<uint8> Header(uint32 colorsUsed, uint16 bits) {
  std::vector<uint8> h(40, 0);
  h[0] = 40;
  h[14] = static_cast<uint8>(bits);
  std::memcpy(&h[32], &colorsUsed, 4);
  return h;
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

TEST_F(DibWriter, NoHandleOpensNothing) {
  EXPECT_EQ(kDibNoHandle, WriteDibFile(nullptr, "C:\\a.bmp"));
  EXPECT_EQ(nullptr, sim::NativeFs().Find("C:\\a.bmp"));
}

TEST_F(DibWriter, AFileThatCannotBeCreated) {
  std::vector<uint8> dib = Header(0, 24);
  EXPECT_EQ(kDibFileFailed, WriteDibFile(Block(dib), "C:\\missing\\a.bmp"));
}

TEST_F(DibWriter, ABlockThatCannotBeLocked) {
  sim::NativeGlobalBlock* block = Block(Header(0, 24));
  block->lockFails = true;
  EXPECT_EQ(kDibLockFailed, WriteDibFile(block, "C:\\a.bmp"));
  ASSERT_NE(nullptr, sim::NativeFs().Find("C:\\a.bmp"));
  EXPECT_EQ("", sim::NativeFs().Find("C:\\a.bmp")->bytes);
  EXPECT_FALSE(sim::NativeFs().Find("C:\\a.bmp")->exclusive) << "the file is closed";
}

TEST_F(DibWriter, ShortWritesAreFailures) {
  std::vector<uint8> dib = Header(0, 24);  // 0 x 0 pixels: 54 bytes in all
  sim::NativeFs().diskSpace = 10;          // not even the file header fits
  EXPECT_EQ(kDibFileFailed, WriteDibFile(Block(dib), "C:\\a.bmp"));
  EXPECT_EQ((std::vector<uint32>{14}), sim::NativeFs().lowLevelWrites)
      << "nothing after a short header";

  sim::NativeFs().Reset();
  sim::NativeFs().diskSpace = 30;  // the header, then a short chunk
  EXPECT_EQ(kDibFileFailed, WriteDibFile(Block(dib), "C:\\b.bmp"));
  EXPECT_EQ(30u, sim::NativeFs().Find("C:\\b.bmp")->bytes.size());
}

TEST_F(DibWriter, ChunkBoundaries) {
  std::vector<uint8> data(65536, 0x5A);
  for (uint32 count : {0u, 1u, 32767u, 32768u, 65534u, 65535u}) {
    sim::NativeFs().Reset();
    const int file = platform::CreateForWriting("C:\\c.bin");
    sim::NativeFs().lowLevelWrites.clear();
    EXPECT_EQ(count, WriteChunked(file, data.data(), count));
    platform::CloseFile(file);
    std::vector<uint32> expected;
    uint32 left = count;
    while (left > 32767) {
      expected.push_back(32767);
      left -= 32767;
    }
    expected.push_back(left);
    EXPECT_EQ(expected, sim::NativeFs().lowLevelWrites) << count;
    EXPECT_EQ(count, sim::NativeFs().Find("C:\\c.bin")->bytes.size());
  }
}

}  // namespace
}  // namespace tamarisk
