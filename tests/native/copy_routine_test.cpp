// The copy routine with the parameters that only the cast member export
// passes (an initial name, a forced extension, another filter), and the
// keyboard focus around the dialog; driven through the module's entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "castexport/scripting_instance.h"
#include "filecopy/safe_copy.h"
#include "platform/platform.h"
#include "support/expected_texts.h"
#include "support/host_fixture.h"
#include "support/scenario_rows.h"
#include "tests/doubles/native_fs.h"
#include "ui/host_person.h"
#include "ui/progress_texts.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

// Where a copy goes, from what is known of its destination.
TEST(CopyDecisions, WhereACopyGoes) {
  using P = Placement;
  struct Row {
    const char* what;
    bool replace;
    DestinationFacts facts;
    Placement placement;
  } rows[] = {
      {"no file there", false, {false, 0, false, false}, P::kNewFile},
      {"a plain file", true, {false, 1, false, true}, P::kBeside},
      {"a read-only file", true, {true, 1, false, true}, P::kRefused},
      {"a read-only file with a second name", true, {true, 2, false, true}, P::kRefused},
      {"a second name", true, {false, 2, false, true}, P::kInPlace},
      {"a second name, held without delete sharing", true, {false, 2, false, false}, P::kInPlace},
      {"a link's target", true, {false, 1, true, true}, P::kInPlace},
      {"held without delete sharing", true, {false, 1, false, false}, P::kRefused},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.placement, PlacementFor(row.replace, row.facts)) << row.what;
  }
  using platform::FileError;
  EXPECT_EQ(P::kInPlace, PlacementAfterBeside(FileError::kAccessDenied)) << "no new file there";
  EXPECT_EQ(P::kInPlace, PlacementAfterBeside(FileError::kTooLong)) << "no room for a name";
  for (const FileError error : {FileError::kOther, FileError::kCancelled, FileError::kInUse}) {
    EXPECT_EQ(P::kRefused, PlacementAfterBeside(error));
  }
}

class CopyRoutine : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MakeDirectory(Root() + "\\Out");
    WriteFile(Root() + "\\cxa12345", "exported");
    host.casts = {sim::SimCast()};
    // A text long enough to fill a small disk.
    host.casts[0].members[1] =
        MakeMember("Notes", "field", std::string(20000, 'a') + "\r" + std::string(20000, 'b'));
    NewScripting();
  }

  // The text member saved, through the dialog unless given where.
  int32 Export(const std::string& destination = "") { return CallAvocets(1, 1, destination); }
  // A file copied: offered under its own name, no extension forced.
  int32 Copy(const std::string& destination) {
    return CallPlovers(Root() + "\\cxa12345", destination);
  }

  // An error with its one box, and nothing left: not in Out, nor a partial
  // export file in the test folder.
  ::testing::AssertionResult FailedWithoutLeftovers(int32 result) {
    if (result != 4) return ::testing::AssertionFailure() << "gave " << result;
    if (!FolderListing(Root() + "\\Out").empty()) {
      return ::testing::AssertionFailure() << "a file is left in Out";
    }
    const ::testing::AssertionResult box = OneBox(x::kCopyError);
    return box ? NoTemporaryFiles() : box;
  }
};

// Failures of the export frame that only the native doubles can bring about:
// a full disk, a failing close, a current folder too deep for the buffer.
using ExportFrame = CopyRoutine;

// The dialog's folder is what the calls before left: the first copy's
// source folder, whatever its outcome, then the folder last saved to.
TEST_F(CopyRoutine, WhereTheDialogOpens) {
  MakeDirectory(Root() + "\\Data");
  WriteFile(Root() + "\\Data\\a.txt", "a");
  Ui().choices = {{false, Root() + "\\Out\\b.txt"}};
  std::vector<std::string> watched;
  sim::NativeUserInterface().longCopy = [&](const void* raw) {
    watched.push_back(static_cast<const platform::CopyWatch*>(raw)->shownName);
    return false;
  };
  EXPECT_EQ(3, CallPlovers("C:\\Old\\gone.txt", "x.txt"));
  EXPECT_EQ(0, CallPlovers(Root() + "\\Data\\a.txt", ""));
  EXPECT_EQ(1, CallPlovers(Root() + "\\Data\\a.txt", ""));
  ASSERT_EQ(2u, Ui().dialogs.size());
  EXPECT_EQ("C:\\Old\\", Ui().dialogs[0].initialDirectory);
  EXPECT_EQ(Root() + "\\Out\\", Ui().dialogs[1].initialDirectory);
  for (const DialogSeen& dialog : Ui().dialogs) EXPECT_EQ("a.txt", dialog.offeredName);
  EXPECT_EQ(std::vector<std::string>{"b.txt"}, watched);
}

// Longer than any name the handlers offer (a member's is cut to 255
// characters first): the dialog's own limit, asked of the person directly.
TEST_F(CopyRoutine, ALongInitialNameIsOfferedCutTo259Characters) {
  const std::string name = std::string(300, 'n') + ".txt";
  HostPerson person(InstanceOf(NewScripting())->utilities, host.window, host.hostInstance);
  Path chosen;
  EXPECT_FALSE(person.ChooseDestination({name.c_str(), "txt", x::kTextFilter, "C:\\"}, &chosen));
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_EQ(std::string(259, 'n'), Ui().dialogs[0].offeredName);
}

TEST_F(CopyRoutine, TheFocusGoesBackToTheWindowThatHadIt) {
  sim::NativeUi& ui = sim::NativeUserInterface();
  const WindowHandle field = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x77));
  ui.windows = {field};
  ui.focus = field;
  auto answer = ui.saveDialog;
  ui.saveDialog = [&](void* request) {
    ui.focus = nullptr;  // the dialog takes the focus
    return answer(request);
  };
  Export();
  EXPECT_EQ(field, ui.focus);

  ui.windows.clear();  // a window that closed meanwhile is not focused
  Export();
  EXPECT_EQ(nullptr, ui.focus);
}

// The platform's dialog disables its owner itself, and enables it again
// only if it was enabled: the module leaves it as the host has it.
TEST_F(CopyRoutine, TheDialogIsGivenTheHostWindowAsTheHostHasIt) {
  sim::NativeUi& ui = sim::NativeUserInterface();
  ui.windows = {host.window};
  Export();
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_TRUE(Ui().dialogs[0].ownerEnabled);
  EXPECT_TRUE(platform::WindowEnabled(host.window));

  ui.disabled = {host.window};  // disabled by the host already: it stays so
  Export();
  EXPECT_FALSE(platform::WindowEnabled(host.window));
}

TEST_F(CopyRoutine, AFailingStatusQueryIsAnError) {
  sim::NativeFs().statFails = true;
  EXPECT_TRUE(FailedWithoutLeftovers(Copy(Root() + "\\Out\\b.txt")));
}

TEST_F(ExportFrame, AFullDiskDuringTheTextIsAFailure) {
  sim::NativeFs().diskSpace = 10000;
  EXPECT_TRUE(FailedWithoutLeftovers(Export(Root() + "\\Out\\n.txt")));
}

TEST_F(ExportFrame, AFailingCloseIsAFailure) {
  sim::NativeFs().closeFails = true;
  EXPECT_TRUE(FailedWithoutLeftovers(Export(Root() + "\\Out\\n.txt")));
}

TEST_F(ExportFrame, ATemporaryPathLongerThanTheBufferIsAFailure) {
  std::string deep = Root();
  while (deep.size() < 520) deep += "\\" + std::string(60, 'd');
  MakeDirectory(deep);
  SetCurrentFolder(deep);
  EXPECT_TRUE(FailedWithoutLeftovers(Export(Root() + "\\Out\\n.txt")));
  EXPECT_FALSE(host.log.empty());
  for (const std::string& line : host.log) EXPECT_NE("ReadProperty text", line) << "no writer ran";
}

// Not 12345: the fixture's source has that name already.
TEST_F(ExportFrame, TheThreadsDigitsNameTheTemporaryFile) {
  sim::NativeFs().threadId = 4000054321u;
  sim::NativeUi& ui = sim::NativeUserInterface();
  std::vector<std::string> seen;
  auto answer = ui.saveDialog;
  ui.saveDialog = [&](void* request) {
    for (const auto& entry : sim::NativeFs().entries) seen.push_back(entry.second.nameOnDisk);
    return answer(request);
  };
  CallAvocets(1, 1);
  EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), Root() + "\\cxa54321"))
      << "the five lowest decimal digits, most significant first";
}

// Where the folder lets no new file be made, a writable file is replaced the
// only way left, in place; a new one cannot be made at all.
TEST_F(CopyRoutine, AFolderThatTakesNoNewFileStillLetsItsFilesBeReplaced) {
  const std::string folder = UnwritableFolder();
  WriteFile(folder + "\\old.txt", "old");
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, Copy(folder + "\\old.txt"));
  EXPECT_EQ("exported", Content(folder + "\\old.txt"));
  EXPECT_EQ(1u, FolderListing(folder).size());

  Ui().messages.clear();
  EXPECT_EQ(4, Copy(folder + "\\new.txt"));
  EXPECT_EQ(1u, FolderListing(folder).size());
}

// A copy that lasts: its progress window, inside the modal bracket with the
// host's window disabled; cancelled, nothing changes and nothing is left.
// Without a thread of its own it is made at once, and its job freed.
TEST_F(CopyRoutine, ALongCopyShowsItsProgressAndCanBeCancelled) {
  struct Case {
    const char* what;
    const char* existing;  // Out\big.bin before, or null
    bool cancel;
    bool hangs;  // the drive's reads hang, then fail
    int32 result;
    const char* message;  // the box after the copy, or null
    const char* content;
    bool committed = false;  // cancelled on a thread of its own once the copy committed
    bool noThread = false;   // no thread can be made: copied at once, nothing shown
  } cases[] = {
      {"cancelled, new", nullptr, true, false, 1, x::kNothingDone, "<missing>"},
      {"cancelled once committed: refused", "old", true, false, 0, nullptr, "exported", true},
      {"cancelled, replacing", "old", true, false, 1, x::kNothingDone, "old"},
      {"finished, replacing", "old", false, false, 0, nullptr, "exported"},
      {"cancelled while the drive hangs", "old", true, true, 1, x::kNothingDone, "old"},
      {"the drive hangs, then fails", "old", false, true, 4, x::kCopyError, "old"},
      {"no thread: made on the caller's", "old", false, false, 0, nullptr, "exported", false, true},
  };
  sim::NativeUi& ui = sim::NativeUserInterface();
  ui.windows = {host.window};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string destination = Root() + "\\Out\\big.bin";
    RemoveFile(destination);
    if (c.existing != nullptr) WriteFile(destination, c.existing);
    const std::vector<std::string> before = FolderListing(Root() + "\\Out");
    Ui().messages.clear();
    Ui().answers = {x::kIdYes};
    sim::NativeFs().readsHang = c.hangs;
    sim::NativeFs().workersOnThreads = c.committed;
    sim::NativeFs().workersFail = c.noThread;
    std::vector<std::string> shown;
    ui.longCopy = [&](const void* raw) {
      const auto* copy = static_cast<const platform::CopyWatch*>(raw);
      while (c.committed && !copy->progress->committed()) std::this_thread::yield();
      shown = {copy->caption, copy->shownName, copy->cancelText,
               std::to_string(host.modalDepth) +
                   (platform::WindowEnabled(copy->owner) ? " enabled" : " disabled")};
      EXPECT_EQ(host.window, copy->owner);
      return c.cancel;
    };
    EXPECT_EQ(c.result, Copy(destination));
    const std::vector<std::string> window = {x::kCopyingCaption, "big.bin", x::kCancelButton,
                                             "1 disabled"};
    EXPECT_EQ(c.noThread ? std::vector<std::string>{} : window, shown);
    EXPECT_TRUE(platform::WindowEnabled(host.window));
    EXPECT_EQ(0, host.modalDepth);
    EXPECT_EQ(c.content, Content(destination));
    if (c.hangs && c.cancel) {
      // The worker still waits for its read: another call is refused, and
      // the module stays loaded.
      EXPECT_EQ(4, CallPlovers(Root() + "\\cxa12345"));
      EXPECT_TRUE(CopiesStillRunning());
      sim::EndHungReads();
      EXPECT_FALSE(CopiesStillRunning());
    }
    if ((c.cancel && !c.committed) || c.hangs) {
      EXPECT_EQ(before, FolderListing(Root() + "\\Out")) << "nothing left behind";
    }
    std::vector<Box> boxes;
    if (c.existing != nullptr) boxes.push_back(Question(Lower(destination)));
    if (c.message != nullptr) boxes.push_back({c.message});
    if (c.hangs && c.cancel) boxes.push_back({x::kCopyBusy});
    EXPECT_TRUE(Boxes(boxes));
  }
}

// A cancel that races the copy on its own thread: whichever comes first,
// the result agrees with the disk, and nothing else is left.
TEST_F(CopyRoutine, ACancelRacingTheCopyAgreesWithTheDisk) {
  sim::NativeFs().workersOnThreads = true;
  const std::string destination = Root() + "\\Out\\big.bin";
  int cancelled = 0;
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    WriteFile(destination, "old");
    Ui().messages.clear();
    Ui().answers = {x::kIdYes};
    sim::NativeUserInterface().longCopy = [&](const void*) {
      std::this_thread::sleep_for(std::chrono::microseconds(round * 5));
      return true;
    };
    const int32 result = Copy(destination);
    cancelled += result == 1 ? 1 : 0;
    EXPECT_EQ(result == 1 ? "old" : "exported", Content(destination)) << result;
    EXPECT_EQ(1u, FolderListing(Root() + "\\Out").size()) << "nothing else";
  }
  EXPECT_GT(cancelled, 0);
}

// What the window says besides the percentage: how much of how much, and
// once a second tells, about how long is left, rounded up.
TEST_F(CopyRoutine, TheProgressWindowsFigures) {
  struct Row {
    std::uint64_t done, total;
    uint32 elapsedMs;
    std::string amount, left;
  } rows[] = {
      {0, 48000000, 0, "0.0 / 48.0 MB", ""},
      {12345678, 48000000, 999, "12.3 / 48.0 MB", ""},  // too soon to tell
      {12000000, 48000000, 1000, "12.0 / 48.0 MB", std::string(x::kTimeLeft) + "3" + x::kSeconds},
      {1000000, 48000000, 1000, "1.0 / 48.0 MB", std::string(x::kTimeLeft) + "47" + x::kSeconds},
      {1000000, 61000000, 1000, "1.0 / 61.0 MB", std::string(x::kTimeLeft) + "1" + x::kMinutes},
      {1000000, 122000000, 1000, "1.0 / 122.0 MB", std::string(x::kTimeLeft) + "3" + x::kMinutes},
      {0, 48000000, 5000, "0.0 / 48.0 MB", ""},  // nothing moves: no guess
      {48000000, 48000000, 4000, "48.0 / 48.0 MB", ""},
      {999999999, 4300000000, 2000, "0.9 / 4.3 GB", std::string(x::kTimeLeft) + "7" + x::kSeconds},
  };
  for (const Row& row : rows) {
    char amount[32];
    char left[32];
    DescribeCopyProgress(row.done, row.total, row.elapsedMs, amount, left, sizeof amount);
    EXPECT_EQ(row.amount, amount) << row.done << " of " << row.total;
    EXPECT_EQ(row.left, left) << row.done << " of " << row.total;
  }
}

// The host dispatches its messages while a copy runs, and a script may call
// the module from one: refused, and the copy goes on undisturbed.
TEST_F(CopyRoutine, ACallDuringACopyIsRefused) {
  const std::string source = Root() + "\\cxa12345";
  int32 inner = -1;
  sim::NativeUserInterface().longCopy = [&](const void*) {
    inner = CallPlovers(source, "inner.bin");
    return false;
  };
  EXPECT_EQ(0, CallPlovers(source, "outer.bin"));
  EXPECT_EQ(4, inner);
  ASSERT_EQ(1u, Ui().messages.size());
  EXPECT_EQ(x::kCopyBusy, Ui().messages[0].text);
  EXPECT_EQ(x::kCopyFailedCaption, Ui().messages[0].caption);
  EXPECT_EQ(2, Ui().messages[0].modalDepth) << "inside the progress window's bracket";
  EXPECT_EQ("exported", Content(Root() + "\\outer.bin"));
  EXPECT_FALSE(Exists(Root() + "\\inner.bin"));
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
