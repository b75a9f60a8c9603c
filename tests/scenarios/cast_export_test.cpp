// Avocets: finding the member, the linked-file shortcut, the export through
// a temporary file and the text export, as a Lingo caller, the host and a
// user observe it.
#include <gtest/gtest.h>

#include <algorithm>
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

class Avocets : public RowTest {
 protected:
  void SetUp() override {
    host.casts = {{"Internal",
                   {{1, MakeMember("Notes.doc", "field", "first\rsecond")},
                    {2, MakeMember("", "richText", "rich\r\ntext")},
                    {3, MakeMember("Linked", "sound")},
                    {4, MakeMember("Script", "script")},
                    {5, MakeMember("Upper", "Field")}}},
                  {"1", {{7, MakeMember("In cast one", "field", "one")}}}};
    host.casts[0].members[3].fileName = Data("Linked.WAV");
    RowTest::SetUp();
  }

  void Stage() override {
    RowTest::Stage();
    WriteFile(Data("Linked.WAV"), "RIFF linked bytes");
  }

  bool Logged(const std::string& entry) {
    return std::find(host.log.begin(), host.log.end(), entry) != host.log.end();
  }
};

TEST_F(Avocets, WrongArgumentCountsTakeNoReference) {
  Run({
      Export("one argument", {S("Internal")}).Gives(2, {kInvalid}),
      Export("four arguments", {S("Internal"), I(1), S("a"), S("b")}).Gives(2, {kInvalid}),
  });
  EXPECT_FALSE(Logged("GetCurrentMovie"));
}

TEST_F(Avocets, NoCurrentMovie) {
  host.hasMovie = false;
  Run({Export("no movie", {S("Internal"), I(1), S(Out("a.txt"))}).Gives(5)});
}

TEST_F(Avocets, UnknownCasts) {
  std::vector<Row> rows;
  for (const Arg& cast : {S("Nowhere"), I(99), I(-1)}) {
    rows.push_back(
        Export("cast " + cast.text + std::to_string(cast.n), {cast, I(1)}).Gives(10, {kNoCast}));
  }
  rows.push_back(Export("cast: a float", {kFloat, I(1)}).Gives(2, {kInvalidMember}));
  for (const Arg& member : {S("Nobody"), I(99), S("1")}) {
    rows.push_back(
        Export("member " + member.text + std::to_string(member.n), {S("Internal"), member})
            .Gives(11, {kNoMember}));
  }
  rows.push_back(Export("member: a symbol", {S("Internal"), kSym}).Gives(2, {kInvalidMember}));
  // "Field" differs from "field" in case only.
  for (const char* member : {"Script", "Upper"}) {
    rows.push_back(
        Export(member, {S("Internal"), S(member), S(Out("x.txt"))}).Gives(2, {kUnsupported}));
  }
  Run(rows);
}

TEST_F(Avocets, TextWithADestination) {
  const std::string notes = "first\r\nsecond";
  // Notes.doc over an existing notes.txt, by the name chosen in the dialog.
  const auto overNotes = [&](const std::string& what, const std::string& chosen) {
    return Export("the forced extension" + what, {S("Internal"), S("Notes.doc")})
        .With(Out("notes.txt"))
        .Chooses({{false, Out(chosen)}});
  };
  const Box asked = Question(Out("notes.txt"));
  Run({
      // The string 1 names a cast called 1; the integer 1 is cast number 1.
      Export("a cast by name", {S("1"), I(7), S(Out("one.txt"))}).Makes(Out("one.txt"), "one"),
      Export("a cast by number", {I(1), S("Notes.doc"), S(Out("notes.txt"))})
          .Makes(Out("notes.txt"), notes),
      // Another extension gives way to the kind's; a folder receives the default name.
      Export("another extension", {S("Internal"), S("Notes.doc"), S(Out("Report.doc"))})
          .Makes(Out("report.txt"), notes),
      Export("a folder", {S("Internal"), S("Notes.doc"), S(Out(""))})
          .Makes(Out("notes.txt"), notes),
      // A relative destination starts from the temporary file's folder: the current one.
      Export("a relative destination", {S("Internal"), I(2), S("rel.txt")})
          .Makes(Root() + "\\rel.txt", "rich\r\ntext"),
      // The forced extension asks before replacing another file.
      overNotes(", No", "notes.doc").Answers({x::kIdNo}).Gives(1, {asked, kNothing}),
      overNotes(", Yes", "notes.doc")
          .Answers({x::kIdYes})
          .Gives(0, {asked})
          .Makes(Out("notes.txt"), notes),
      overNotes(", no answer", "notes.doc").Answers({0}).Gives(5, {asked}),
      // The dialog asked already about the path chosen in another letter
      // case, and about the name it completed from its filter.
      overNotes("'s name typed", "NOTES.TXT").Makes(Out("notes.txt"), notes),
      overNotes(" completed", "notes").Makes(Out("notes.txt"), notes),
  });
}

// Each outcome is checked to leave no temporary file.
TEST_F(Avocets, NoTemporaryFileOutlivesAnyOutcome) {
  Run({
      Export("a new file", {I(1), I(1), S(Out("a.txt"))}).Makes(Out("a.txt"), "first\r\nsecond"),
      // An existing file, No: BadInput.ExportDestinations.
      Export("a folder", {I(1), I(1), S(Out("Folder.txt"))})
          .With(Out("Folder.txt\\"))
          .Gives(4, {kFolder}),
      Export("the dialog cancelled", {I(1), I(1)}).Dialogs(1).Gives(1, {kNothing}),
      Export("a name chosen", {I(1), I(1)})
          .Chooses({{false, Out("b")}})
          .Makes(Out("b.txt"), "first\r\nsecond"),
      Export("a missing folder", {I(1), I(1), S(Root() + "\\Missing\\c.txt")}).Gives(4, {kError}),
  });
  // Many exports in a row still find a free name.
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(0, CallAvocets(1, 1, Out("again" + std::to_string(i) + ".txt"))) << i;
  }
  EXPECT_TRUE(NoTemporaryFiles());
}

TEST_F(Avocets, ALinkedMemberIsCopiedAsItsFile) {
  MakeDirectory(Data("Saved"));
  EXPECT_EQ(0, CallAvocets("Internal", "Linked", "Saved\\copy.wav"));
  EXPECT_EQ("RIFF linked bytes", Content(Data("Saved\\copy.wav")))
      << "a relative destination starts from the linked file's folder";
  EXPECT_FALSE(Logged("ReadProperty type")) << "the type of a linked member is never read";

  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallAvocets("Internal", 3));
  ASSERT_EQ(1u, Ui().dialogs.size());
  const DialogSeen& dialog = Ui().dialogs[0];
  EXPECT_EQ("Linked.WAV", dialog.offeredName);
  EXPECT_EQ((std::vector<std::string>{"All Files (*.*) ", " *.* "}), dialog.filter);
  EXPECT_FALSE(dialog.hasDefaultExtension);
  EXPECT_EQ(Data(""), dialog.initialDirectory)
      << "the first copy opens in the linked file's folder";
  EXPECT_EQ(0, dialog.liveMovieObjects) << "the member is released before the copy";
}

TEST_F(Avocets, TextThroughTheSaveDialog) {
  Ui().choices = {{false, Out("picked")}};
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
  EXPECT_EQ("first\r\nsecond", Content(Out("picked.txt")));

  // An unnamed member is offered as cast-member; the next dialog opens where the last one saved.
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallAvocets(1, 2));
  EXPECT_EQ("1-2.txt", Ui().dialogs[1].offeredName);
  EXPECT_EQ(Out(""), Ui().dialogs[1].initialDirectory);
  EXPECT_TRUE(NoTemporaryFiles());
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
      {"\x95\\dir\\\x95\\.x", "\x95\\.txt"},  // 表dir\表.x: trail bytes that are backslashes
  };
  std::vector<Row> rows;
  for (const Case& c : cases) {
    rows.push_back(Export(c.name, {I(1), I(1)})
                       .Member(1, 1, MakeMember(c.name, c.type, "first\rsecond"))
                       .Gives(1, {kNothing})
                       .Offers(c.offered));
  }
  Run(rows);
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
  std::vector<Row> rows;
  for (const Case& c : cases) {
    for (const char* type : {"field", "richText"}) {
      rows.push_back(Export(type + (": " + c.text), {I(1), I(1), S(Out("t.txt"))})
                         .Member(1, 1, MakeMember("m", type, c.text))
                         .Makes(Out("t.txt"), c.file));
    }
  }
  Run(rows);
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
  host.casts[0].members[1] = MakeMember("big", "field", text);
  EXPECT_EQ(0, CallAvocets(1, 1, Out("big.txt")));
  // Not EXPECT_EQ: a failure would print a diff of two 5 MB strings.
  const std::string file = Content(Out("big.txt"));
  const auto differ = std::mismatch(expected.begin(), expected.end(), file.begin(), file.end());
  EXPECT_TRUE(differ.first == expected.end() && differ.second == file.end())
      << "the file differs from byte " << differ.first - expected.begin()
      << " on: " << file.substr(static_cast<std::size_t>(differ.second - file.begin()), 40);
}

TEST_F(Avocets, AllTemporaryNamesTaken) {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    WriteFile(Root() + "\\cx" + letter + TemporaryDigits(), "taken");
  }
  EXPECT_EQ(4, CallAvocets(1, 1, Out("a.txt")));
  EXPECT_TRUE(OneBox(x::kCopyError));
  EXPECT_FALSE(Exists(Out("a.txt")));
  EXPECT_EQ("taken", Content(Root() + "\\cxz" + TemporaryDigits()));

  // One free letter is enough, the first and the last too.
  for (const char letter : {'a', 'q', 'z'}) {
    const std::string free = Root() + "\\cx" + letter + TemporaryDigits();
    RemoveFile(free);
    Ui().messages.clear();
    EXPECT_EQ(0, CallAvocets(1, 1, Out("") + letter + ".txt")) << letter;
    EXPECT_FALSE(Exists(free)) << letter;
    WriteFile(free, "taken");
  }
}

TEST_F(Avocets, TextsTheHostDoesNotDeliverAreEmpty) {
  // First a call that fills every buffer.
  EXPECT_EQ(0, CallAvocets("Internal", "Linked", Out("l.wav")));
  host.casts[0].members[1].voidProperties = {"fileName", "name"};
  Ui().choices = {{true, ""}};
  // A destination that is not a string means the dialog.
  EXPECT_EQ(1, CallAvocets(1, 1, 5));
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_EQ("1-1.txt", Ui().dialogs[0].offeredName);

  host.casts[0].members[1].failingProperties = {"type"};
  Ui().messages.clear();
  EXPECT_EQ(2, CallAvocets(1, 1, Out("n.txt")));
  EXPECT_TRUE(OneBox(x::kUnsupportedMedia));

  host.casts[0].members[1].failingProperties = {"text"};
  Ui().messages.clear();
  EXPECT_EQ(0, CallAvocets(1, 1, Out("empty.txt")));
  EXPECT_EQ("", Content(Out("empty.txt"))) << "no text: an empty file";
}

TEST_F(Avocets, AnExportFileThatCannotBeWrittenIsNotCopied) {
  // With a destination: MediaExport.EveryKindFromADeepFolderNoneFromAnUnwritableOne.
  SetCurrentFolder(UnwritableFolder());
  Ui().choices = {{false, Out("b.txt")}};
  EXPECT_EQ(4, CallAvocets(1, 1));
  EXPECT_TRUE(OneBox(x::kCopyError));
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
  WriteFile(Data("big.txt"), big);
  host.casts[0].members[8] = MakeBitmap(PackedDib({1024, 1024, 24, 0, 0, 0, 0, 3 << 20}), "Big");
  host.casts[0].members[9] = MakeMember("Big text", "field", big);

  struct Call {
    const char* what;
    int32 selector;
    std::vector<HostValue> args;
  };
  const std::vector<Call> calls = {
      {"Plovers", kPlovers, {Value(S(Data("big.txt"))), Value(S(keep))}},
      {"Avocets, text", kAvocets, {Value(I(1)), Value(I(9)), Value(S(keep))}},
      {"Avocets, bitmap", kAvocets, {Value(I(1)), Value(I(8)), Value(S(drive + "\\keep.bmp"))}},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(call.what);
    const std::string target =
        call.what == std::string("Avocets, bitmap") ? drive + "\\keep.bmp" : keep;
    WriteFile(target, old);
    Ui().messages.clear();
    Ui().answers = {x::kIdYes};
    EXPECT_EQ(4, CallHandler(call.selector, call.args));
    EXPECT_TRUE(Boxes({Question(Lower(target)), kError}));
    EXPECT_TRUE(Content(target) == old) << "the old file is whole";
    EXPECT_EQ(1u, FolderListing(drive + "\\").size()) << "nothing else is left on the drive";
    RemoveFile(target);
  }
  // A new file that does not fit is not left in part.
  Ui().messages.clear();
  WriteFile(drive + "\\filler", old);
  EXPECT_EQ(4, CallPlovers(Data("big.txt"), drive + "\\new.txt"));
  EXPECT_TRUE(OneBox(x::kCopyError));
  EXPECT_EQ(1u, FolderListing(drive + "\\").size());
  EXPECT_TRUE(NoTemporaryFiles());
}

TEST_F(Avocets, TheDialogStartsWhereTheFileCopyLastSaved) {
  MakeDirectory(Root() + "\\Saved");
  Ui().choices = {{false, Root() + "\\Saved\\copy.wav"}};
  EXPECT_EQ(0, CallPlovers(Data("Linked.WAV")));
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallAvocets("Internal", "Notes.doc"));
  ASSERT_EQ(2u, Ui().dialogs.size());
  EXPECT_EQ(Root() + "\\Saved\\", Ui().dialogs[1].initialDirectory);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
