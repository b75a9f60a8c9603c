// Avocets: finding the member, the linked-file shortcut, the export through
// a temporary file and the text export, as a Lingo caller, the host and a
// user observe it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/host_fixture.h"
#include "support/packed_dib.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

sim::SimMember TextMember(const std::string& name, const std::string& text,
                          const std::string& type = "field") {
  return MakeMember(name, type, text);
}

class Avocets : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MakeStage();
    WriteFile(Root() + "\\Data\\Linked.WAV", "RIFF linked bytes");

    sim::SimCast internal;
    internal.name = "Internal";
    internal.members[1] = TextMember("Notes.doc", "first\rsecond");
    internal.members[2] = TextMember("", "rich\r\ntext", "richText");
    internal.members[3] = MakeMember("Linked", "sound");
    internal.members[3].fileName = Root() + "\\Data\\Linked.WAV";
    internal.members[4] = MakeMember("Script", "script");
    internal.members[5] = MakeMember("Upper", "Field");
    sim::SimCast named1;
    named1.name = "1";
    named1.members[7] = TextMember("In cast one", "one");
    host.casts = {internal, named1};
    scripting_ = NewScripting();
  }

  HostValue S(const std::string& text) { return host.StringValue(text); }
  HostValue I(int32 n) { return host.IntegerValue(n); }

  // No temporary export file of any letter is left in the current folder.
  void ExpectNoTemporaryFiles() {
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      const std::string name = Root() + "\\cx" + letter + TemporaryDigits();
      EXPECT_FALSE(Exists(name)) << name;
    }
  }

  bool Logged(const std::string& entry) {
    for (const std::string& line : host.log) {
      if (line == entry) return true;
    }
    return false;
  }

  InterfaceObject* scripting_ = nullptr;
};

TEST_F(Avocets, WrongArgumentCountsTakeNoReference) {
  EXPECT_EQ(2, CallAvocets("Internal"));
  EXPECT_TRUE(OneBox(x::kInvalidArguments, x::kCopyFailedCaption));
  Ui().messages.clear();
  EXPECT_EQ(2, CallAvocets("Internal", 1, "a", "b"));
  EXPECT_TRUE(OneBox(x::kInvalidArguments, x::kCopyFailedCaption));
  EXPECT_FALSE(Logged("GetCurrentMovie"));
}

TEST_F(Avocets, NoCurrentMovie) {
  host.hasMovie = false;
  EXPECT_EQ(5, CallAvocets("Internal", 1, Root() + "\\Out\\a.txt"));
  EXPECT_TRUE(Ui().messages.empty());
}

TEST_F(Avocets, CastsByNameAndByNumber) {
  // The string 1 names a cast called 1; the integer 1 is cast number 1.
  EXPECT_EQ(0, CallAvocets("1", 7, Root() + "\\Out\\one.txt"));
  EXPECT_EQ("one", Content(Root() + "\\Out\\one.txt"));
  EXPECT_EQ(0, CallAvocets(1, "Notes.doc", Root() + "\\Out\\notes.txt"));
  EXPECT_EQ("first\r\nsecond", Content(Root() + "\\Out\\notes.txt"));
  EXPECT_TRUE(Ui().messages.empty());
}

TEST_F(Avocets, UnknownCasts) {
  for (const HostValue& cast : {S("Nowhere"), I(99), I(-1)}) {
    Ui().messages.clear();
    EXPECT_EQ(10, CallAvocets(cast, 1));
    EXPECT_TRUE(OneBox(x::kNoSuchCast, x::kMemberCaption));
  }
  Ui().messages.clear();
  EXPECT_EQ(2, CallAvocets(host.FloatValue(), 1));
  EXPECT_TRUE(OneBox(x::kInvalidArguments, x::kMemberCaption));
}

TEST_F(Avocets, UnknownMembers) {
  for (const HostValue& member : {S("Nobody"), I(99), S("1")}) {
    Ui().messages.clear();
    EXPECT_EQ(11, CallAvocets("Internal", member));
    EXPECT_TRUE(OneBox(x::kNoSuchMember, x::kMemberCaption));
  }
  Ui().messages.clear();
  EXPECT_EQ(2, CallAvocets("Internal", host.SymbolValue("x")));
  EXPECT_TRUE(OneBox(x::kInvalidArguments, x::kMemberCaption));
}

TEST_F(Avocets, ALinkedMemberIsCopiedAsItsFile) {
  MakeDirectory(Root() + "\\Data\\Saved");
  EXPECT_EQ(0, CallAvocets("Internal", "Linked", "Saved\\copy.wav"));
  EXPECT_EQ("RIFF linked bytes", Content(Root() + "\\Data\\Saved\\copy.wav"))
      << "a relative destination starts from the linked file's folder";
  EXPECT_FALSE(Logged("ReadProperty type")) << "the type of a linked member is never read";

  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallAvocets("Internal", 3));
  ASSERT_EQ(1u, Ui().dialogs.size());
  const DialogSeen& dialog = Ui().dialogs[0];
  EXPECT_EQ("Linked.WAV", dialog.offeredName);
  EXPECT_EQ((std::vector<std::string>{"All Files (*.*) ", " *.* "}), dialog.filter);
  EXPECT_FALSE(dialog.hasDefaultExtension);
  EXPECT_EQ(Root() + "\\Data\\", dialog.initialDirectory)
      << "the first copy opens in the linked file's folder";
  EXPECT_EQ(0, dialog.liveMovieObjects) << "the member is released before the copy";
}

TEST_F(Avocets, UnsupportedTypes) {
  for (const char* member : {"Script", "Upper"}) {  // "Field" differs from "field" in case only
    Ui().messages.clear();
    EXPECT_EQ(2, CallAvocets("Internal", member, Root() + "\\Out\\x.txt"));
    EXPECT_TRUE(OneBox(x::kUnsupportedMedia, x::kCopyFailedCaption));
  }
  EXPECT_FALSE(Exists(Root() + "\\Out\\x.txt"));
}

TEST_F(Avocets, TextWithADestination) {
  // Another extension gives way to the kind's; a folder receives the default name.
  EXPECT_EQ(0, CallAvocets("Internal", "Notes.doc", Root() + "\\Out\\Report.doc"));
  EXPECT_EQ("first\r\nsecond", Content(Root() + "\\Out\\report.txt"));
  EXPECT_FALSE(Exists(Root() + "\\Out\\report.doc"));
  EXPECT_EQ(0, CallAvocets("Internal", "Notes.doc", Root() + "\\Out\\"));
  EXPECT_EQ("first\r\nsecond", Content(Root() + "\\Out\\notes.txt"));
  // A relative destination starts from the temporary file's folder: the current one.
  EXPECT_EQ(0, CallAvocets("Internal", 2, "rel.txt"));
  EXPECT_EQ("rich\r\ntext", Content(Root() + "\\rel.txt"));
  EXPECT_TRUE(Ui().dialogs.empty());
  ExpectNoTemporaryFiles();
}

TEST_F(Avocets, TextThroughTheSaveDialog) {
  Ui().choices = {{false, Root() + "\\Out\\picked"}};
  EXPECT_EQ(0, CallAvocets("Internal", "Notes.doc"));
  ASSERT_EQ(1u, Ui().dialogs.size());
  const DialogSeen& dialog = Ui().dialogs[0];
  EXPECT_EQ("Notes.txt", dialog.offeredName);
  EXPECT_EQ((std::vector<std::string>{"\xC3\xB7\xBD\xC4\x95\xB6\x8F\x91 (*.TXT) ", " *.TXT "}),
            dialog.filter);
  EXPECT_EQ("txt", dialog.defaultExtension);
  EXPECT_EQ(Root() + "\\", dialog.initialDirectory)
      << "the first copy opens where the temporary file lies";
  EXPECT_EQ(0, dialog.liveMovieObjects) << "the member is released before the copy";
  EXPECT_EQ("first\r\nsecond", Content(Root() + "\\Out\\picked.txt"));

  // An unnamed member is offered as cast-member; the next dialog opens where the last one saved.
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallAvocets(1, 2));
  EXPECT_EQ("1-2.txt", Ui().dialogs[1].offeredName);
  EXPECT_EQ(Root() + "\\Out\\", Ui().dialogs[1].initialDirectory);
  ExpectNoTemporaryFiles();
}

TEST_F(Avocets, DefaultNames) {
  struct Case {
    std::string name;
    std::string offered;
    std::string type = "field";
  };
  const std::vector<Case> cases = {
      {"Title.doc", "Title.txt"},
      {"Rich.doc", "Rich.txt", "richText"},
      {"C:folder\\sub/Name.v2.doc", "Name.v2.txt"},
      {".doc", ".txt"},
      {"NoExtension", "NoExtension.txt"},
      {"\x95\x5C"
       "dir\\\x95\x5C.x",
       "\x95\x5C.txt"},
  };
  for (const Case& c : cases) {
    host.casts[0].members[1].name = c.name;
    host.casts[0].members[1].type = c.type;
    Ui().choices = {{true, ""}};
    Ui().dialogs.clear();
    EXPECT_EQ(1, CallAvocets(1, 1));
    ASSERT_EQ(1u, Ui().dialogs.size());
    EXPECT_EQ(c.offered, Ui().dialogs[0].offeredName) << c.name;
  }
}

TEST_F(Avocets, TextBytes) {
  struct Case {
    std::string text;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"a\rb", "a\r\nb"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\nb\nc", "a\r\nb\r\nc"},
      {"line one\nline two\n", "line one\r\nline two\r\n"},
      {"\n\r\r\n\n\rx\n", "\r\n\r\n\r\n\r\n\r\nx\r\n"},  // LF, CR, CR LF, LF, CR, x, LF
      {"a\n\x0B\r\x0C", "a\r\n\x0B\r\n\x0C"},  // bytes one off LF and CR, right after them
      {"end\r", "end\r\n"},
      {"no line end", "no line end"},
      {"", ""},
      {"\x95\x5C\x83\x5C\r\x8A\x7C", "\x95\x5C\x83\x5C\r\n\x8A\x7C"},
  };
  int n = 0;
  for (const Case& c : cases) {
    for (const char* type : {"field", "richText"}) {
      host.casts[0].members[1] = TextMember("m", c.text, type);
      const std::string target = Root() + "\\Out\\t" + std::to_string(n++) + ".txt";
      EXPECT_EQ(0, CallAvocets(1, 1, target)) << type;
      EXPECT_EQ(c.file, Content(target)) << type << " " << c.text;
    }
  }
  EXPECT_TRUE(Ui().messages.empty());
}

TEST_F(Avocets, ALargeTextRoundTrips) {
  std::string text;
  std::string expected;
  const char* const lineEnds[] = {"\r", "\r\n", "\n"};
  for (int line = 0; line < 100000; ++line) {
    const std::string body =
        "line " + std::to_string(line) + " \x95\x5C with some more words to fill it";
    text += body + lineEnds[line % 3];
    expected += body + "\r\n";
  }
  host.casts[0].members[1] = TextMember("big", text);
  EXPECT_EQ(0, CallAvocets(1, 1, Root() + "\\Out\\big.txt"));
  // Not EXPECT_EQ: a failure would print a diff of two 5 MB strings.
  const std::string file = Content(Root() + "\\Out\\big.txt");
  const auto differ = std::mismatch(expected.begin(), expected.end(), file.begin(), file.end());
  EXPECT_TRUE(differ.first == expected.end() && differ.second == file.end())
      << "the file differs from byte " << differ.first - expected.begin()
      << " on: " << file.substr(static_cast<std::size_t>(differ.second - file.begin()), 40);
}

TEST_F(Avocets, NoTemporaryFileOutlivesAnyOutcome) {
  WriteFile(Root() + "\\Out\\old.txt", "old");
  MakeDirectory(Root() + "\\Out\\Folder.txt");
  struct Case {
    std::vector<std::string> destination;
    std::vector<int> answers;
    std::vector<DialogChoice> choices;
    int32 result;
  };
  const std::vector<Case> cases = {
      {{Root() + "\\Out\\a.txt"}, {}, {}, 0},      {{Root() + "\\Out\\old.txt"}, {x::kIdNo}, {}, 1},
      {{Root() + "\\Out\\Folder.txt"}, {}, {}, 4}, {{}, {}, {{true, ""}}, 1},
      {{}, {}, {{false, Root() + "\\Out\\b"}}, 0}, {{Root() + "\\Missing\\c.txt"}, {}, {}, 4},
  };
  for (const Case& c : cases) {
    Ui().answers.assign(c.answers.begin(), c.answers.end());
    Ui().choices.assign(c.choices.begin(), c.choices.end());
    std::vector<HostValue> args = {I(1), I(1)};
    for (const std::string& d : c.destination) args.push_back(S(d));
    EXPECT_EQ(c.result, CallHandler(kAvocets, args));
    ExpectNoTemporaryFiles();
  }
  // Many exports in a row still find a free name.
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(0, CallAvocets(1, 1, Root() + "\\Out\\again" + std::to_string(i) + ".txt"))
        << i;
  }
  ExpectNoTemporaryFiles();
}

TEST_F(Avocets, AllTemporaryNamesTaken) {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    WriteFile(Root() + "\\cx" + letter + TemporaryDigits(), "taken");
  }
  EXPECT_EQ(4, CallAvocets(1, 1, Root() + "\\Out\\a.txt"));
  EXPECT_TRUE(OneBox(x::kCopyError, x::kCopyFailedCaption));
  EXPECT_FALSE(Exists(Root() + "\\Out\\a.txt"));
  EXPECT_EQ("taken", Content(Root() + "\\cxz" + TemporaryDigits()));

  // One free letter is enough, the first and the last too.
  for (const char letter : {'a', 'q', 'z'}) {
    const std::string free = Root() + "\\cx" + letter + TemporaryDigits();
    RemoveFile(free);
    Ui().messages.clear();
    EXPECT_EQ(0, CallAvocets(1, 1, Root() + "\\Out\\" + letter + ".txt")) << letter;
    EXPECT_FALSE(Exists(free)) << letter;
    WriteFile(free, "taken");
  }
}

TEST_F(Avocets, TextsTheHostDoesNotDeliverAreEmpty) {
  // First a call that fills every buffer.
  EXPECT_EQ(0, CallAvocets("Internal", "Linked", Root() + "\\Out\\l.wav"));
  host.casts[0].members[1].voidProperties = {"fileName", "name"};
  Ui().choices = {{true, ""}};
  // A destination that is not a string means the dialog.
  EXPECT_EQ(1, CallAvocets(1, 1, 5));
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_EQ("1-1.txt", Ui().dialogs[0].offeredName);

  host.casts[0].members[1].failingProperties = {"type"};
  Ui().messages.clear();
  EXPECT_EQ(2, CallAvocets(1, 1, Root() + "\\Out\\n.txt"));
  EXPECT_TRUE(OneBox(x::kUnsupportedMedia, x::kCopyFailedCaption));

  host.casts[0].members[1].failingProperties = {"text"};
  Ui().messages.clear();
  EXPECT_EQ(0, CallAvocets(1, 1, Root() + "\\Out\\empty.txt"));
  EXPECT_EQ("", Content(Root() + "\\Out\\empty.txt")) << "no text: an empty file";
}

TEST_F(Avocets, TheForcedExtensionAsksBeforeReplacingAnotherFile) {
  WriteFile(Root() + "\\Out\\notes.txt", "mine");
  Ui().choices = {{false, Root() + "\\Out\\notes.doc"}};
  Ui().answers = {x::kIdNo};
  EXPECT_EQ(1, CallAvocets("Internal", "Notes.doc"));
  ASSERT_EQ(2u, Ui().messages.size());
  EXPECT_EQ(Root() + "\\Out\\notes.txt\n" + x::kOverwriteQuestion, Ui().messages[0].text);
  EXPECT_EQ(x::kOverwriteCaption, Ui().messages[0].caption);
  EXPECT_EQ("mine", Content(Root() + "\\Out\\notes.txt"));

  Ui().choices = {{false, Root() + "\\Out\\notes.doc"}};
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(0, CallAvocets("Internal", "Notes.doc"));
  EXPECT_EQ("first\r\nsecond", Content(Root() + "\\Out\\notes.txt"));
  EXPECT_FALSE(Exists(Root() + "\\Out\\notes.doc"));
  ExpectNoTemporaryFiles();
}

TEST_F(Avocets, AnExportFileThatCannotBeWrittenIsNotCopied) {
  SetCurrentFolder(UnwritableFolder());
  EXPECT_EQ(4, CallAvocets(1, 1, Root() + "\\Out\\a.txt"));
  EXPECT_TRUE(OneBox(x::kCopyError, x::kCopyFailedCaption));
  EXPECT_FALSE(Exists(Root() + "\\Out\\a.txt"));
  Ui().choices = {{false, Root() + "\\Out\\b.txt"}};
  Ui().messages.clear();
  EXPECT_EQ(4, CallAvocets(1, 1));
  EXPECT_TRUE(Ui().dialogs.empty()) << "the user is not asked where to save nothing";
  SetCurrentFolder(Root());
}

// What a drive that fills up leaves: the old file as it was, and nothing else.
TEST_F(Avocets, AFullDiskNeverCostsTheOldFile) {
  const std::string drive = SmallDrive();
  if (drive.empty()) GTEST_SKIP() << "no small drive: mounting a tmpfs needs root";
  const std::string old(1 << 20, 'o');  // half of the drive
  const std::string big(3 << 20, 'n');
  const std::string keep = drive + "\\keep.txt";
  WriteFile(Root() + "\\Data\\big.txt", big);
  sim::SimMember bitmap = MakeMember("Big", "bitmap");
  bitmap.dib = PackedDib({1024, 1024, 24, 0, 0, 0, 0, 3 << 20});
  host.casts[0].members[8] = bitmap;
  host.casts[0].members[9] = TextMember("Big text", big);

  struct Call {
    const char* what;
    int32 selector;
    std::vector<HostValue> args;
  };
  const std::vector<Call> calls = {
      {"Plovers", 1, {S(Root() + "\\Data\\big.txt"), S(keep)}},
      {"Avocets, text", 2, {I(1), I(9), S(keep)}},
      {"Avocets, bitmap", 2, {I(1), I(8), S(drive + "\\keep.bmp")}},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.what);
    const std::string target =
        call.what == std::string("Avocets, bitmap") ? drive + "\\keep.bmp" : keep;
    WriteFile(target, old);
    Ui().messages.clear();
    Ui().answers = {x::kIdYes};
    HostValue result = host.VoidValue();
    host.Call(scripting_, call.selector, call.args, &result);
    EXPECT_EQ(4, host.IntegerOf(result));
    ASSERT_EQ(2u, Ui().messages.size());
    EXPECT_EQ(x::kCopyError, Ui().messages[1].text);
    EXPECT_TRUE(Content(target) == old) << "the old file is whole";
    EXPECT_EQ(1u, FolderListing(drive + "\\").size()) << "nothing else is left on the drive";
    RemoveFile(target);
  }
  // A new file that does not fit is not left in part.
  Ui().messages.clear();
  WriteFile(drive + "\\filler", old);
  HostValue result = host.VoidValue();
  host.Call(scripting_, 1, {S(Root() + "\\Data\\big.txt"), S(drive + "\\new.txt")}, &result);
  EXPECT_EQ(4, host.IntegerOf(result));
  EXPECT_TRUE(OneBox(x::kCopyError, x::kCopyFailedCaption));
  EXPECT_EQ(1u, FolderListing(drive + "\\").size());
  ExpectNoTemporaryFiles();
}

TEST_F(Avocets, TheDialogStartsWhereTheFileCopyLastSaved) {
  MakeDirectory(Root() + "\\Saved");
  Ui().choices = {{false, Root() + "\\Saved\\copy.wav"}};
  HostValue result = host.VoidValue();
  host.Call(scripting_, 1, {S(Root() + "\\Data\\Linked.WAV")}, &result);
  EXPECT_EQ(0, host.IntegerOf(result));
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallAvocets("Internal", "Notes.doc"));
  ASSERT_EQ(2u, Ui().dialogs.size());
  EXPECT_EQ(Root() + "\\Saved\\", Ui().dialogs[1].initialDirectory);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
