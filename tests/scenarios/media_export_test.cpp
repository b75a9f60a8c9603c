// Bitmap and picture members saved through Avocets: the Windows bitmap file
// made from the host's packed DIB, the Macintosh PICT file made from its
// composite handle, and the temporary file of every kind. The ways a
// conversion fails are rows of BadMedia (bad_input_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/host_fixture.h"
#include "support/packed_dib.h"
#include "support/scenario_rows.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

uint32 Get32(const std::string& bytes, std::size_t at) {
  uint32 v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<uint8>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

class MediaExport : public RowTest {
 protected:
  void SetUp() override {
    host.casts = {{"Internal", {}}, {"Art", {}}};
    RowTest::SetUp();
  }

  int32 Save(int32 member, const std::string& destination) {
    return destination.empty() ? CallAvocets(2, member) : CallAvocets(2, member, destination);
  }

  // Exports the bitmap and returns the file written.
  std::string ExportBitmap(const std::vector<uint8>& dib) {
    host.casts[1].members[12] = MakeBitmap(dib);
    const std::string target = Out("b" + std::to_string(++count_) + ".bmp");
    EXPECT_EQ(0, Save(12, target));
    return Content(target);
  }

  int count_ = 0;
};

TEST_F(MediaExport, FileHeadersAndColourTables) {
  struct Case {
    DibShape dib;
    uint32 pixelOffset;
    uint32 fileSize;
  };
  const std::vector<Case> cases = {
      {{3, 2, 24, 0, 0, 0, 0, 24}, 54, 78},             // 3 x 2 at 24 bits: rows of 12 bytes
      {{8, 2, 1, 0, 0, 0, 2, 8}, 62, 70},               // 1 bit: 2 colours
      {{8, 2, 4, 0, 0, 0, 16, 8}, 118, 126},            // 4 bits: 16 colours
      {{4, 2, 8, 0, 0, 0, 256, 8}, 1078, 1086},         // 8 bits: 256 colours
      {{4, 2, 8, 0, 100, 0, 100, 8}, 454, 462},         // 100 colours used
      {{3, 2, 16, 0, 0, 0, 0, 16}, 54, 70},             // 16 bits: no table
      {{3, 2, 32, 0, 0, 0, 0, 24}, 54, 78},             // 32 bits: no table
      {{3, 2, 32, 3, 0, 0, 3, 24}, 66, 90},             // bit fields: three masks before the pixels
      {{3, 2, 16, 3, 2, 0, 5, 16}, 74, 90},             // the masks, then the 2 colours used
      {{3, 2, 24, 3, 0, 0, 0, 24}, 54, 78},             // 24 bits have no masks
      {{5, 3, 8, 1, 0, 77, 256, 77}, 1078, 1078 + 77},  // RLE8: the stored size
      {{5, 3, 4, 2, 0, 33, 16, 33}, 118, 118 + 33},     // RLE4: the stored size
      {{3, -2, 24, 0, 0, 0, 0, 24}, 54, 78},            // top-down: the header stays so
      {{3, 0, 24, 0, 0, 0, 0, 0}, 54, 54},              // no rows, no pixel bytes
      // Bitmap files as a paint program writes them: file header, then the DIB.
      {{17, 5, 1, 0, 0, 20, 2, 20}, 62, 82},
      {{17, 5, 4, 0, 0, 60, 16, 60}, 118, 178},
      {{17, 5, 8, 0, 0, 100, 256, 100}, 1078, 1178},
      {{17, 5, 24, 0, 0, 260, 0, 260}, 54, 314},
      {{17, 5, 32, 0, 0, 340, 0, 340}, 54, 394},
      {{17, 5, 8, 1, 0, 54, 256, 54}, 1078, 1132},
      {{17, -5, 24, 0, 0, 260, 0, 260}, 54, 314},
      {{9, 9, 8, 0, 12, 36 * 3, 12, 108}, 102, 210},
      {{17, 5, 16, 3, 0, 180, 3, 180}, 66, 246},
      {{17, 5, 32, 3, 0, 340, 3, 340}, 66, 406},  // bit fields: the masks count as 3 entries
  };
  for (const Case& c : cases) {
    const std::vector<uint8> dib = PackedDib(c.dib);
    // Everything but the image size field is the host's block, unchanged.
    std::string bmp = BitmapFile(dib, static_cast<uint32>(dib.size()), c.pixelOffset);
    const bool rle = c.dib.compression == 1 || c.dib.compression == 2;
    Put(bmp, 34, rle ? c.dib.imageSizeField : c.dib.pixelBytes, 4);
    EXPECT_EQ(c.fileSize, bmp.size()) << c.dib.bits << " bits";
    EXPECT_EQ(bmp, ExportBitmap(dib)) << c.dib.bits << " bits";
  }
  EXPECT_TRUE(Ui().messages.empty());
}

TEST_F(MediaExport, AWrongImageSizeIsReplacedInTheFileAndTheBlock) {
  std::vector<uint8> dib = PackedDib({3, 2, 24, 0, 0, 999, 0, 24});
  const std::string file = ExportBitmap(dib);
  EXPECT_EQ(24u, Get32(file, 34));
  ASSERT_GE(host.lastReturnedImage.size(), 24u);
  std::string block(host.lastReturnedImage.begin(), host.lastReturnedImage.end());
  EXPECT_EQ(24u, Get32(block, 20)) << "the block went back to the host with the computed size";
}

TEST_F(MediaExport, LargeBlocksAreWrittenInChunksOf32767) {
  // 40 + 1024 + 64471 = 65535 bytes of DIB.
  const std::vector<uint8> dib = PackedDib({300, 200, 8, 1, 0, 64471, 256, 64471});
  ResetLowLevelWrites();
  const std::string file = ExportBitmap(dib);
  EXPECT_EQ(65535u + 14, file.size());
  EXPECT_EQ((std::vector<uint32>{14, 32767, 32767, 1}), LowLevelWrites());
}

TEST_F(MediaExport, AVeryLargeBitmap) {
  const std::vector<uint8> dib =
      PackedDib({4096, 4096, 24, 0, 0, 4096 * 4096 * 3, 0, 4096 * 4096 * 3});
  const std::string file = ExportBitmap(dib);
  ASSERT_EQ(14 + dib.size(), file.size());
  EXPECT_EQ(0, std::memcmp(file.data() + 14, dib.data(), dib.size()));
}

TEST_F(MediaExport, TheDialogOffersTheBitmapName) {
  host.casts[1].members[12] = MakeBitmap(PackedDib({3, 2, 24, 0, 0, 0, 0, 24}), "");
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, Save(12, ""));
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_EQ("2-12.bmp", Ui().dialogs[0].offeredName);
  EXPECT_EQ("bmp", Ui().dialogs[0].defaultExtension);
  EXPECT_EQ((std::vector<std::string>{
                "Windows \xCB\xDE\xAF\xC4\xCF\xAF\xCC\xDF\xCC\xA7\xB2\xD9 (*.BMP) ", " *.BMP "}),
            Ui().dialogs[0].filter);
}

std::vector<uint8> Handle(std::size_t size) {
  std::vector<uint8> handle(size);
  for (std::size_t i = 0; i < size; ++i) handle[i] = static_cast<uint8>(i % 251);
  return handle;
}

TEST_F(MediaExport, Pictures) {
  std::vector<uint8> handle = Handle(1100);
  handle[40] = 10;
  handle[41] = 13;
  host.casts[1].members[3] = MakePicture(1064, handle);
  EXPECT_EQ(0, Save(3, Out("p.pic")));
  std::string file = Content(Out("p.pic"));
  ASSERT_EQ(1512u, file.size());
  EXPECT_EQ(std::string(512, '\0'), file.substr(0, 512));
  EXPECT_EQ(std::string(handle.begin() + 38, handle.begin() + 1038), file.substr(512));

  // A handle of just the host's 38 bytes: BadMedia.ShortPictureHandles.

  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, Save(3, ""));
  EXPECT_EQ("Pict.pic", Ui().dialogs[0].offeredName);
  EXPECT_EQ("pic", Ui().dialogs[0].defaultExtension);
  EXPECT_EQ((std::vector<std::string>{"Macintosh PICT\xCC\xA7\xB2\xD9 (*.PIC) ", " *.PIC "}),
            Ui().dialogs[0].filter);
}

// The temporary file of every kind: made in a folder deeper than the 128
// characters of OpenFile, and refused with the error where none can be made.
TEST_F(MediaExport, EveryKindFromADeepFolderNoneFromAnUnwritableOne) {
  std::string deep = Root();
  while (deep.size() < 200) {
    deep += "\\" + std::string(std::min<std::size_t>(40, 200 - deep.size() - 1), 'd');
    MakeDirectory(deep);
  }
  ASSERT_EQ(200u, deep.size());
  host.casts[1].members[1] = MakeMember("Text", "field", "a\rb");
  host.casts[1].members[12] = MakeBitmap(PackedDib({3, 2, 24, 0, 0, 0, 0, 24}));
  const std::string handle = std::string(38, '\xEE') + "pic";
  host.casts[1].members[3] = MakePicture(64 + 3, std::vector<uint8>(handle.begin(), handle.end()));
  struct Kind {
    int32 member;
    std::string name;
    std::size_t size;
  };
  const std::vector<Kind> kinds = {{1, "t.txt", 4}, {12, "b.bmp", 78}, {3, "p.pic", 515}};

  SetCurrentFolder(deep);
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    EXPECT_EQ(0, Save(kind.member, Out(kind.name)));
    EXPECT_EQ(kind.size, Content(Out(kind.name)).size());
  }
  EXPECT_EQ("a\r\nb", Content(Out("t.txt")));

  SetCurrentFolder(UnwritableFolder());
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    Ui().messages.clear();
    EXPECT_EQ(4, Save(kind.member, Out("again-" + kind.name)));
    EXPECT_TRUE(OneBox(x::kCopyError));
    EXPECT_TRUE(Ui().dialogs.empty());
    EXPECT_TRUE(NoTemporaryFiles());
    EXPECT_FALSE(Exists(Out("again-" + kind.name)));
  }
  SetCurrentFolder(Root());
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
