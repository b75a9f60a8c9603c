// The real message boxes and save dialog, with nothing in the module
// patched. A person (a thread of this test, support/ui_person.h) finds each
// window the module shows, reads what is on it and answers with its
// buttons and fields. The host's window is a real one, so every window is
// owned and modal as in the authoring host.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/foreign_names.h"
#include "support/host_fixture.h"
#include "support/packed_dib.h"
#include "support/ui_person.h"
#include "support/window_probe.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;
using Step = PersonStep;

// The platform's title for a save dialog given none, in the system's
// language: 名前を付けて保存 on a Japanese Windows, Save As on an English one.
const std::string kSaveAsTitle =
    GetACP() == 932 ? "\x96\xBC\x91O\x82\xF0\x95t\x82\xAF\x82\xC4\x95\xDB\x91\xB6" : "Save As";
constexpr char kStageTitle[] = "stage";

// How the tables name the windows a person saw.
std::string Dialog(const std::string& folder) { return "the save dialog, in " + folder; }
const char kDialogsQuestion[] = "the dialog's own overwrite question, Yes and No";
std::string Box(const std::string& caption, const std::string& text,
                const std::string& buttons = "1") {
  return "box [" + caption + "] " + text + " buttons " + buttons;
}
std::string Question(const std::string& path) {
  return Box(x::kOverwriteCaption, path + "\n" + x::kOverwriteQuestion, "6 7");
}
const std::string kNothingDoneBox = Box(x::kCopyFailedCaption, x::kNothingDone);
std::string Progress(const std::string& caption, const std::string& name,
                     const std::string& button = x::kCancelButton) {
  return "progress [" + caption + "] " + name + " [" + button + "]";
}
const std::string kUnusableNameBox = Box(x::kUnusableNameCaption, x::kUnusableName);

// A table's steps and windows: Do(Save(name), Step::kOk), Lines(a, b).
Step Save(const std::string& typed) { return {Step::kSave, typed}; }
Step Save(const std::wstring& wide) { return {Step::kSave, "", wide}; }
template <class... Steps>
std::vector<Step> Do(Steps... steps) {
  return {Step{steps}...};
}
template <class... Texts>
std::vector<std::string> Lines(const Texts&... texts) {
  return {std::string(texts)...};
}

// A name of the shared lists, as the person types it.
std::wstring Wide(const std::u16string& name) { return std::wstring(name.begin(), name.end()); }

// The description of a filter's first pair: what the file type list shows.
std::string FileType(const char* filter) {
  const std::string text = filter;
  return text.substr(0, text.find('|'));
}

class RealUi : public HostTest {
 protected:
  void SetUp() override {
    FreshModule();  // and, unlike the scenarios, no responders
    ResetFiles();
    stage_ = CreateWindowExA(0, "STATIC", kStageTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320,
                             200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, stage_);
    host.window = stage_;
    host.hostInstance = GetModuleHandleA(nullptr);
    MakeStage();
    host.basePath = Root() + "\\Data\\tour.dir";
    MakeDirectory(Root() + "\\Out\\Sub");
    WriteFile(Root() + "\\Data\\a.txt", "new");
    sim::SimCast internal;
    internal.name = "Internal";
    internal.members[1] = MakeMember("Notes", "field", "first\rsecond");
    internal.members[2] = MakeMember("Logo", "bitmap");
    // A 2 x 2 picture of 24 bits, its pixels all 'Z'.
    std::vector<uint8>& dib = internal.members[2].dib = PackedDib({2, 2, 24, 0, 0, 0, 0, 16});
    std::fill(dib.begin() + 40, dib.end(), 'Z');
    host.casts = {internal};
    NewScripting();
  }

  void TearDown() override {
    EXPECT_TRUE(IsWindowEnabled(stage_)) << "the host's window takes input again";
    HostTest::TearDown();
    SetCurrentFolder(Root());
    DestroyWindow(stage_);
  }

  // Runs one call while the person takes the steps; what they saw is in seen_.
  int32 Run(int32 selector, const std::vector<HostValue>& args, const std::vector<Step>& steps) {
    Person person(steps);
    const int32 result = CallHandler(selector, args);
    seen_ = person.Finish();
    EXPECT_EQ("", person.Problems());
    return result;
  }
  int32 Copy(const std::vector<std::string>& paths, const std::vector<Step>& steps) {
    std::vector<HostValue> args;
    for (const std::string& path : paths) args.push_back(host.StringValue(path));
    return Run(1, args, steps);
  }
  int32 Export(int32 member, const std::vector<Step>& steps) {
    return Run(2, {host.StringValue("Internal"), host.IntegerValue(member)}, steps);
  }

  // The windows seen, as the tables name them. A box or dialog that was not
  // owned by the disabled host window (or a question not by the dialog)
  // says so.
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const WindowSeen& seen : seen_) {
      std::string line;
      std::string owner = kStageTitle;
      if (seen.kind == WindowSeen::kSaveDialog) {
        line = Dialog(seen.folder);
      } else if (seen.kind == WindowSeen::kProgress) {
        line = Progress(seen.caption, seen.text, seen.button);
      } else if (seen.ownerCaption == kSaveAsTitle) {
        line = seen.buttons == std::vector<int>{x::kIdYes, x::kIdNo} ? kDialogsQuestion
                                                                     : seen.Describe();
        owner = kSaveAsTitle;
      } else {
        std::string buttons;
        for (int id : seen.buttons) buttons += (buttons.empty() ? "" : " ") + std::to_string(id);
        line = Box(seen.caption, seen.text, buttons);
      }
      if (seen.ownerCaption != owner || seen.ownerEnabled) line += " (" + seen.Describe() + ")";
      shown.push_back(line);
    }
    return shown;
  }

  // The save dialog that was window `index`: its title, the name and file
  // type it offered and the folder it showed, as the person read them.
  ::testing::AssertionResult DialogOffered(std::size_t index, const std::string& fileName,
                                           const std::string& fileType,
                                           const std::string& folderPath) const {
    if (index >= seen_.size()) return ::testing::AssertionFailure() << "no window " << index;
    const WindowSeen& dialog = seen_[index];
    if (dialog.caption != kSaveAsTitle || dialog.fileName != fileName ||
        dialog.fileType != fileType || dialog.folderPath != folderPath) {
      return ::testing::AssertionFailure() << dialog.Describe() << " at " << dialog.folderPath;
    }
    return ::testing::AssertionSuccess();
  }

  // Out and Out\Sub: each file's name and content.
  std::vector<std::string> Saved() {
    std::vector<std::string> files;
    for (const std::string folder : {"Out", "Out\\Sub"}) {
      for (const std::string& entry : FolderListing(Root() + "\\" + folder)) {
        if (entry.back() == '\\') continue;
        const std::string name = entry.substr(0, entry.find(' '));
        files.push_back(folder + "\\" + name + "=" + Content(Root() + "\\" + folder + "\\" + name));
      }
    }
    return files;
  }

  HWND stage_ = nullptr;
  std::vector<WindowSeen> seen_;
};

TEST_F(RealUi, TheOverwriteQuestion) {
  const std::string question = Question("c:\\tamarisk-test\\data\\b.txt");
  struct Case {
    std::vector<Step> steps;
    int32 result;
    std::vector<std::string> shown;
    const char* kept;
  } cases[] = {
      {{{Step::kYes}}, 0, {question}, "new"},
      {{{Step::kNo}, {Step::kOk}}, 1, {question, kNothingDoneBox}, "old"},
  };
  for (const Case& c : cases) {
    WriteFile(Root() + "\\Data\\b.txt", "old");
    EXPECT_EQ(c.result, Copy({Root() + "\\Data\\a.txt", "B.TXT"}, c.steps));
    EXPECT_EQ(c.shown, Shown());
    EXPECT_EQ(c.kept, Content(Root() + "\\Data\\b.txt"));
  }
}

TEST_F(RealUi, TheDialogAsTheUserSeesItAndWhereItOpens) {
  // The first dialog opens in the source's folder, offering its name.
  EXPECT_EQ(1, Copy({Root() + "\\Data\\a.txt"}, {{Step::kCancel}, {Step::kOk}}));
  EXPECT_EQ(Lines(Dialog("Data"), kNothingDoneBox), Shown());
  EXPECT_TRUE(DialogOffered(0, "a.txt", "All Files (*.*) ", Root() + "\\Data"));
  EXPECT_EQ(2, host.modalBrackets);

  // Saved elsewhere under the name typed; a copy keeps its extension.
  EXPECT_EQ(0, Copy({Root() + "\\Data\\a.txt"}, {{Step::kSave, Root() + "\\Out\\Copy.Doc"}}));
  EXPECT_EQ(Lines(Dialog("Data")), Shown());
  EXPECT_EQ(Lines("Out\\Copy.Doc=new"), Saved());

  // The next dialog, of the other handler, opens where the user saved.
  EXPECT_EQ(1, Export(1, {{Step::kCancel}, {Step::kOk}}));
  EXPECT_EQ(Lines(Dialog("Out"), kNothingDoneBox), Shown());
  EXPECT_TRUE(DialogOffered(0, "Notes.txt", FileType(x::kTextFilter), Root() + "\\Out"));
}

// A row of the tables of names typed into the dialog: what the person does,
// the result, the windows seen and Out's files afterwards.
struct NamesCase {
  const char* what;
  std::vector<Step> steps;
  int32 result;
  std::vector<std::string> shown;
  std::vector<std::string> saved;
  bool exportText = true;          // the text export, or a copy of Data\a.txt
  const char* existing = nullptr;  // Out\notes.txt before it
};

TEST_F(RealUi, NamesTypedIntoTheTextExportDialog) {
  const std::string notes = Root() + "\\Out\\notes";
  const std::vector<std::string> exported = Lines("Out\\notes.txt=first\r\nsecond");
  const std::vector<std::string> kept = Lines("Out\\notes.txt=old");
  const NamesCase cases[] = {
      {"no extension: the dialog adds the filter's", Do(Save(notes)), 0,
       Lines(Dialog("tamarisk-test")), exported},
      {"another extension: the kind's replaces it", Do(Save(notes + ".doc")), 0,
       Lines(Dialog("Out")), exported},
      {"an existing file: the dialog asks, Yes", Do(Save(notes), Step::kYes), 0,
       Lines(Dialog("Out"), kDialogsQuestion), exported, true, "old"},
      {"an existing file: the dialog asks, No, then Cancel",
       Do(Save(notes), Step::kNo, Step::kCancel, Step::kOk), 1,
       Lines(Dialog("Out"), kDialogsQuestion, Dialog("Out"), kNothingDoneBox), kept, true, "old"},
      {"a file only the kind's extension leads to: the module asks, Yes",
       Do(Save(notes + ".doc"), Step::kYes), 0, Lines(Dialog("Out"), Question(notes + ".txt")),
       exported, true, "old"},
      {"a file only the kind's extension leads to: the module asks, No",
       Do(Save(notes + ".doc"), Step::kNo, Step::kOk), 1,
       Lines(Dialog("Out"), Question(notes + ".txt"), kNothingDoneBox), kept, true, "old"},
      {"only a folder: the dialog opens it, and a name alone is saved there",
       Do(Save(Root() + "\\Out\\Sub"), Save("inner")), 0, Lines(Dialog("Out"), Dialog("Sub")),
       Lines("Out\\Sub\\inner.txt=first\r\nsecond")},
  };
  for (const NamesCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& file : Saved())
      RemoveFile(Root() + "\\" + file.substr(0, file.find('=')));
    if (c.existing != nullptr) WriteFile(notes + ".txt", c.existing);
    SetCurrentFolder(Root());  // the dialog leaves the folder it showed as the current one
    EXPECT_EQ(c.result, Export(1, c.steps));
    EXPECT_EQ(c.shown, Shown());
    EXPECT_EQ(c.saved, Saved());
  }
}

// Names typed in UTF-16, as the dialog takes them. A path that CP932 cannot
// hold exactly is never written in a converted form: the user is told and
// chooses again, in the folder of that path.
TEST_F(RealUi, NamesTheCodePageCannotHold) {
  const std::wstring out = L"C:\\tamarisk-test\\Out\\";
  const std::wstring cafe = out + Wide(kFolderTheCodePageCannotHold);
  WriteFile(Root() + "\\Out\\cafe.txt", "old");
  MakeDirectory(Root() + "\\Out\\a");
  WriteFile(Root() + "\\Out\\a\\b.txt", "old");
  ASSERT_TRUE(CreateDirectoryW(cafe.c_str(), nullptr));
  const std::vector<std::string> before = {"Out\\cafe.txt=old"};
  // Each refused, and the dialog shown again in the folder of the path.
  std::vector<NamesCase> cases;
  for (const ForeignName& foreign : NamesTheCodePageCannotHold()) {
    cases.push_back(
        {foreign.what, Do(Save(out + Wide(foreign.name)), Step::kOk, Step::kCancel, Step::kOk), 1,
         Lines(Dialog("Data"), kUnusableNameBox, Dialog("Out"), kNothingDoneBox), before, false});
  }
  const NamesCase exact[] = {
      {"a folder CP932 lacks, gone into: the next dialog opens there",
       Do(Save(cafe), Save("x"), Step::kOk, Step::kCancel, Step::kOk), 1,
       Lines(Dialog("Data"), Dialog("caf?"), kUnusableNameBox, Dialog("caf?"), kNothingDoneBox),
       before},
      // 日本語.txt
      {"Japanese", Do(Save(out + L"\u65E5\u672C\u8A9E.txt")), 0, Lines(Dialog("Data")),
       Lines("Out\\cafe.txt=old", "Out\\\x93\xFA\x96\x7B\x8C\xEA.txt=new"), false},
      // ｶﾅ.txt and a＼b~.txt (a blank: see the scenarios, as Saved() splits at one)
      {"half-width kana", Do(Save(out + L"\uFF76\uFF85.txt")), 0, Lines(Dialog("Out")),
       Lines("Out\\cafe.txt=old", "Out\\\xB6\xC5.txt=new"), false},
      {"a full-width backslash and ~", Do(Save(out + L"a\uFF3Cb~.txt")), 0, Lines(Dialog("Out")),
       Lines("Out\\a\x81\x5F"
             "b~.txt=new",
             "Out\\cafe.txt=old"),
       false},
  };
  cases.insert(cases.end(), std::begin(exact), std::end(exact));
  for (const NamesCase& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& file : Saved()) {
      if (file != before[0]) RemoveFile(Root() + "\\" + file.substr(0, file.find('=')));
    }
    SetCurrentFolder(Root());
    EXPECT_EQ(c.result,
              c.exportText ? Export(1, c.steps) : Copy({Root() + "\\Data\\a.txt"}, c.steps));
    EXPECT_EQ(c.shown, Shown());
    EXPECT_EQ(c.saved, Saved());
    EXPECT_EQ("old", Content(Root() + "\\Out\\a\\b.txt"));
    EXPECT_EQ(1u, FolderListing(Root() + "\\Out\\a").size());
    // Only an empty folder that is not the current one can be removed.
    SetCurrentFolder(Root());
    EXPECT_TRUE(RemoveDirectoryW(cafe.c_str()) && CreateDirectoryW(cafe.c_str(), nullptr))
        << "nothing written into the folder café";
    if (c.shown.size() > 3 && seen_.size() == c.shown.size()) {
      const std::string folder = Root() + (c.exportText ? "\\Out\\caf?" : "\\Out");
      EXPECT_TRUE(DialogOffered(c.shown.size() - 2, seen_[0].fileName, seen_[0].fileType, folder))
          << "the second dialog, as the first";
    }
  }
}

TEST_F(RealUi, ABitmapThroughTheDialog) {
  EXPECT_EQ(0, Export(2, {{Step::kSave, Root() + "\\Out\\picture"}}));
  ASSERT_EQ(Lines(Dialog("tamarisk-test")), Shown())
      << "the current folder, where the export began";
  EXPECT_TRUE(DialogOffered(0, "Logo.bmp", FileType(x::kBitmapFilter), Root()));
  const std::string file = Content(Root() + "\\Out\\picture.bmp");
  ASSERT_EQ(14 + 40 + 16u, file.size());
  EXPECT_EQ("BM", file.substr(0, 2));
  EXPECT_EQ(std::string(16, 'Z'), file.substr(14 + 40)) << "the pixels";
}

// The slow drive S: (scripts/wine-run.sh with TAMARISK_SLOW_DRIVE) serves
// big.bin (48 MB) and short.bin (6 MB) at 12 MB/s; byte i of each is i % 251.
std::string SlowDriveBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

class SlowDrive : public RealUi {
 protected:
  void SetUp() override {
    RealUi::SetUp();
    if (GetFileAttributesA("S:\\big.bin") == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "no slow drive S: (scripts/wine-run.sh mounts it with FUSE when "
                      "TAMARISK_SLOW_DRIVE is set)";
    }
  }

  // Calls the module from the host's message loop, as a script run by a
  // timer would, once the next call has begun.
  static void CALLBACK CallFromTheLoop(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    current_->innerResult_ = current_->CallPlovers("S:\\short.bin", Root() + "\\Out\\inner.bin");
  }

  static void CALLBACK LookAtTheHost(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    current_->lookedAt300Ms_ = std::to_string(current_->host.modalDepth) +
                               (IsWindowEnabled(current_->stage_) ? " enabled" : " disabled");
    PostQuitMessage(7);
  }

  int32 innerResult_ = -1;
  std::string lookedAt300Ms_;
  static SlowDrive* current_;
};

SlowDrive* SlowDrive::current_ = nullptr;

// Cancelled, with the button or with Esc or Enter as a user presses them,
// the destination is what it was and nothing is left beside it; the call
// ends as for a cancelled dialog. A read that hangs (a scratched disc) and
// then fails: a cancel is answered at once, as any cancel; the file the copy
// made goes once the read gives up. Until then the module stays loaded and
// refuses another call.
TEST_F(SlowDrive, ALongCopyCancelled) {
  const std::string destination = Root() + "\\Out\\big.bin";
  const std::string shown = Progress(x::kCopyingCaption, "big.bin");
  const std::string question = Question(Lower(destination));
  struct Case {
    const char* what;
    const char* source;
    const char* existing;  // destination before, or null
    std::vector<Step> steps;
    std::vector<std::string> shown;
  } cases[] = {
      {"new", "S:\\big.bin", nullptr, Do(Step::kCancel, Step::kOk), Lines(shown, kNothingDoneBox)},
      {"Esc", "S:\\big.bin", nullptr, Do(Step::kEscape, Step::kOk), Lines(shown, kNothingDoneBox)},
      {"Enter", "S:\\big.bin", nullptr, Do(Step::kEnter, Step::kOk), Lines(shown, kNothingDoneBox)},
      {"replacing", "S:\\big.bin", "old", Do(Step::kYes, Step::kCancel, Step::kOk),
       Lines(question, shown, kNothingDoneBox)},
      // The last: the worker that waits for the read outlives the call.
      {"the drive hangs", "S:\\hang.bin", "old", Do(Step::kYes, Step::kCancel, Step::kOk),
       Lines(question, shown, kNothingDoneBox)},
  };
  std::vector<std::string> before;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveFile(destination);
    if (c.existing != nullptr) WriteFile(destination, c.existing);
    before = FolderListing(Root() + "\\Out");
    const DWORD started = GetTickCount();
    EXPECT_EQ(1, Copy({c.source, destination}, c.steps));
    EXPECT_LT(GetTickCount() - started, 3000u) << "stopped long before the copy's 4 s";
    EXPECT_EQ(c.shown, Shown());
    EXPECT_TRUE(Content(destination) == (c.existing != nullptr ? c.existing : "<missing>"))
        << "as it was";
    // The hung read's file stays until the read fails, checked below.
    if (&c != &cases[4]) {
      EXPECT_EQ(before, FolderListing(Root() + "\\Out"));
    }
  }

  EXPECT_EQ(4, Copy({Root() + "\\Data\\a.txt", Root() + "\\Out\\a.txt"}, {{Step::kOk}}));
  EXPECT_EQ(Lines(Box(x::kCopyFailedCaption, x::kCopyBusy)), Shown());
  ReleaseAll();
  EXPECT_EQ(kStillInUse, TheModule().canUnloadNow()) << "a worker still runs its code";

  // The drive serves one request at a time: the worker's last ones, its
  // read's second half and the close, may wait for a hang each.
  for (int waited = 0; waited < 250 && TheModule().canUnloadNow() != kOk; ++waited) Sleep(100);
  EXPECT_EQ(kOk, TheModule().canUnloadNow()) << "the worker has ended";
  EXPECT_EQ(before, FolderListing(Root() + "\\Out")) << "nothing left once the read failed";
  EXPECT_EQ("old", Content(destination));
}

// Let finish, it is as any copy; meanwhile the host's window answers.
TEST_F(SlowDrive, ALongCopyFinishedWhileTheHostAnswers) {
  WindowProbe probe(stage_);
  EXPECT_EQ(0, Copy({"S:\\big.bin", Root() + "\\Out\\"}, {{Step::kWait}}));
  const double longestMs = probe.Stop() * 1000;
  EXPECT_EQ(Lines(Progress(x::kCopyingCaption, "big.bin")), Shown());
  EXPECT_LE(longestMs, 1000) << "the host's window went unanswered";
  EXPECT_TRUE(Content(Root() + "\\Out\\big.bin") == SlowDriveBytes(48000000)) << "the bytes";
  EXPECT_EQ(2u, FolderListing(Root() + "\\Out").size()) << "Sub and big.bin, nothing beside";
}

// A copy that ends within a second shows nothing; a call from the host's
// loop meanwhile is refused and the copy goes on.
TEST_F(SlowDrive, AShortCopyShowsNoWindowAndRefusesACallMeanwhile) {
  const std::string bytes = SlowDriveBytes(6000000);
  EXPECT_EQ(0, Copy({"S:\\short.bin", Root() + "\\Out\\"}, {}));
  EXPECT_EQ(Lines(), Shown());
  EXPECT_TRUE(Content(Root() + "\\Out\\short.bin") == bytes);

  current_ = this;
  SetTimer(nullptr, 0, 10, CallFromTheLoop);
  EXPECT_EQ(0, Copy({"S:\\short.bin", Root() + "\\Out\\again.bin"}, {{Step::kOk}}));
  EXPECT_EQ(4, innerResult_);
  EXPECT_EQ(Lines(Box(x::kCopyFailedCaption, x::kCopyBusy)), Shown());
  EXPECT_TRUE(Content(Root() + "\\Out\\again.bin") == bytes);
  EXPECT_FALSE(Exists(Root() + "\\Out\\inner.bin"));
}

// A host that plays its movie while a script runs: a 10 ms timer whose
// frames take 15 ms, or frames the host posts itself one after another.
// Its queue is never empty; it stops after 8 s, so that a module that waits
// for an empty queue ends the test instead of hanging it.
class Player {
 public:
  Player(HWND stage, bool posts) : stage_(stage), posts_(posts), until_(GetTickCount() + 8000) {
    current = this;
    WNDCLASSA kind = {};
    kind.lpfnWndProc = PostedFrame;
    kind.hInstance = GetModuleHandleA(nullptr);
    kind.lpszClassName = "TamariskPlayer";
    RegisterClassA(&kind);
    window_ = CreateWindowExA(0, kind.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              kind.hInstance, nullptr);
    if (posts_) {
      PostMessageA(window_, WM_APP, 0, 0);
    } else {
      SetTimer(stage_, 1, 10, TimerFrame);
    }
  }
  ~Player() { Stop(); }
  // The frames drawn.
  int Stop() {
    KillTimer(stage_, 1);
    if (window_ != nullptr) DestroyWindow(window_);
    window_ = nullptr;
    return frames_;
  }

 private:
  bool Frame() {
    ++frames_;
    Sleep(posts_ ? 2 : 15);
    return GetTickCount() < until_;
  }
  static void CALLBACK TimerFrame(HWND window, UINT, UINT_PTR timer, DWORD) {
    if (!current->Frame()) KillTimer(window, timer);
  }
  static LRESULT CALLBACK PostedFrame(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcA(window, message, wParam, lParam);
    if (current->Frame()) PostMessageA(window, WM_APP, 0, 0);
    return 0;
  }

  static Player* current;
  const HWND stage_;
  const bool posts_;
  const DWORD until_;
  HWND window_ = nullptr;
  int frames_ = 0;
};
Player* Player::current = nullptr;

// The call comes back as soon as the copy has ended, and the movie plays on
// meanwhile; frames posted without pause keep no window from showing.
TEST_F(SlowDrive, AHostThatPlaysGetsTheCallBack) {
  struct Row {
    bool posts;
    const char* source;
    std::size_t size;
    DWORD within;             // the copy takes half a second, or four
    std::vector<Step> steps;  // the window of a copy that lasts
  } rows[] = {
      {false, "S:\\short.bin", 6000000, 3000, {}},
      {true, "S:\\big.bin", 48000000, 6000, {{Step::kWait}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.posts ? "frames the host posts itself" : "a timer's frames");
    const std::string destination = Root() + "\\Out\\played.bin";
    Player player(stage_, row.posts);
    const DWORD started = GetTickCount();
    EXPECT_EQ(0, Copy({row.source, destination}, row.steps));
    const DWORD took = GetTickCount() - started;
    const int frames = player.Stop();
    EXPECT_LT(took, row.within);
    EXPECT_GT(frames, 20) << "frames drawn meanwhile";
    EXPECT_TRUE(Content(destination) == SlowDriveBytes(row.size));
    RemoveFile(destination);
  }
}

// 300 ms into a copy, long before any window shows, the host's own timer
// finds its window taking no input and its modal bracket open. The host
// quits meanwhile: its own loop still gets the quit once the call is over.
TEST_F(SlowDrive, TheHostIsHeldFromTheFirstMoment) {
  current_ = this;
  SetTimer(nullptr, 0, 300, LookAtTheHost);
  EXPECT_EQ(0, Copy({"S:\\short.bin", Root() + "\\Out\\"}, {}));
  EXPECT_EQ("1 disabled", lookedAt300Ms_);
  EXPECT_EQ(0, host.modalDepth);
  MSG quit;
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was kept";
  EXPECT_EQ(7u, quit.wParam);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
