// Failures of the export frame that only the native doubles can bring about:
// a full disk, a failing close, a current folder too deep for the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/host_fixture.h"
#include "tests/doubles/native_fs.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

class ExportFrame : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MakeDirectory(Root() + "\\Out");
    host.casts = {sim::SimCast()};
    host.casts[0].members[1] =
        MakeMember("Notes", "field", std::string(20000, 'a') + "\r" + std::string(20000, 'b'));
    NewScripting();
  }

  int32 Export() { return CallAvocets(1, 1, Root() + "\\Out\\n.txt"); }

  void ExpectFailedWithoutLeftovers() {
    EXPECT_TRUE(OneBox(x::kCopyError));
    EXPECT_FALSE(Exists(Root() + "\\Out\\n.txt"));
    EXPECT_FALSE(Exists(Root() + "\\cxa" + TemporaryDigits())) << "the partial file is deleted";
  }
};

TEST_F(ExportFrame, AFullDiskDuringTheTextIsAFailure) {
  sim::NativeFs().diskSpace = 10000;
  EXPECT_EQ(4, Export());
  ExpectFailedWithoutLeftovers();
}

TEST_F(ExportFrame, AFailingCloseIsAFailure) {
  sim::NativeFs().closeFails = true;
  EXPECT_EQ(4, Export());
  ExpectFailedWithoutLeftovers();
}

TEST_F(ExportFrame, ATemporaryPathLongerThanTheBufferIsAFailure) {
  std::string deep = Root();
  while (deep.size() < 520) deep += "\\" + std::string(60, 'd');
  MakeDirectory(deep);
  SetCurrentFolder(deep);
  EXPECT_EQ(4, Export());
  ExpectFailedWithoutLeftovers();
  EXPECT_FALSE(host.log.empty());
  for (const std::string& line : host.log) EXPECT_NE("ReadProperty text", line) << "no writer ran";
}

TEST_F(ExportFrame, TheThreadsDigitsNameTheTemporaryFile) {
  sim::NativeFs().threadId = 4000012345u;
  sim::NativeUi& ui = sim::NativeUserInterface();
  std::vector<std::string> seen;
  auto answer = ui.saveDialog;
  ui.saveDialog = [&](void* request) {
    for (const auto& entry : sim::NativeFs().entries) seen.push_back(entry.second.nameOnDisk);
    return answer(request);
  };
  CallAvocets(1, 1);
  EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), Root() + "\\cxa12345"))
      << "the five lowest decimal digits, most significant first";
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
