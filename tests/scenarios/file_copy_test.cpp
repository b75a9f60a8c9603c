// Plovers: copying a file with the path rules, the overwrite question and the
// save dialog, as a Lingo caller and a user observe it: result codes, the
// boxes shown, and the files on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/foreign_names.h"
#include "support/host_fixture.h"
#include "support/scenario_rows.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

using Plovers = RowTest;

TEST_F(Plovers, WrongArgumentsAreAnInvalidRequest) {
  const std::string deep = Root() + "\\" + std::string(230, 'x');
  Run({
      // No argument and three: BadInput.FileCopyArguments.
      Copy("an extension without a name", To(Out(".txt"))).Gives(2, {kInvalid}),
      // Overlong paths are refused before anything happens.
      Copy("a folder that the base path pushes past 255 bytes",
           {S(std::string(250, 'd') + "\\a.txt")})
          .Gives(2, {kInvalid}),
      // Not silently cut to another name.
      Copy("a name of more than 255 bytes", To(std::string(300, 'n') + ".txt"))
          .Gives(2, {kInvalid}),
      Copy("a destination that the source's long folder pushes past 511 bytes",
           {S(deep + "\\a.txt"), S(std::string(255, 'y') + "." + std::string(10, 'z'))})
          .With(deep + "\\")
          .With(deep + "\\a.txt")
          .Gives(2, {kInvalid}),
  });
}

TEST_F(Plovers, WhereTheCopyGoes) {
  const std::string nested = Root() + "\\Movies\\tamarisk-test\\";
  Run({
      Copy("under the lowercased name", To(Out("Report.TXT")))
          .MakesNamed(Out("report.txt"), kContent),
      Copy("a relative destination, from the source's folder", To("b.txt"))
          .Makes(Data("b.txt"), kContent),
      Copy("a folder with its backslash", To(Out(""))).Makes(Out("a.txt"), kContent),
      // Taken from the root, not completed with the base directory (which
      // would copy another file of the same relative path).
      Copy("a slashed directory is absolute too", {S("C:/tamarisk-test/Data/a.txt"), S("copy.txt")})
          .With(nested)
          .With(nested + "Data\\")
          .With(nested + "Data\\a.txt")
          .Makes(Data("copy.txt"), kContent),
      Copy("a relative source, from the base path", {S("readme.txt")})
          .With(Root() + "\\Movies\\readme.txt")
          .Chooses({{false, Data("copy.txt")}})
          .Offers("readme.txt")
          .Makes(Data("copy.txt"), "old"),
      Copy("a destination chosen in the dialog", {S(Src())})
          .Chooses({{false, Data("c.txt")}})
          .Makes(Data("c.txt"), kContent),
  });
}

TEST_F(Plovers, CopiesThatAreRefused) {
  Run({
      Copy("the source itself", {S(Root() + "\\Data\\A.TXT"), S(Lower(Src()))}).Gives(2, {kSame}),
      // Same drive, no directory: the source's folder and name are used.
      Copy("the source's drive alone", To("C:")).Gives(2, {kSame}),
      Copy("an existing directory is not copied into", To(Root() + "\\Out")).Gives(4, {kFolder}),
      // A missing source is reported before the destination is looked at.
      Copy("a missing source", {S(Data("missing.txt"))}).Gives(3, {kNotFound}),
      Copy("a missing source with a destination", {S(Data("missing.txt")), S(Data("b.txt"))})
          .Gives(3, {kNotFound}),
      Copy("a missing relative source", {S("nothere.txt")}).Gives(3, {kNotFound}),
      Copy("a source held by another program", To("b.txt")).Holding(Src()).Gives(4, {kError}),
      Copy("the source itself chosen in the dialog is tried and fails", {S(Src())})
          .Chooses({{false, Src()}})
          .Gives(4, {kError}),
  });
}

TEST_F(Plovers, AnExistingFileIsReplacedOnlyOnYes) {
  const Box question = Question(Lower(Out("old.txt")));
  std::vector<Row> rows = {
      Copy("No, to the name in capitals", To(Out("Old.txt")))
          .Answers({x::kIdNo})
          .Gives(1, {question, kNothing}),
      Copy("Yes", To(Out("old.txt")))
          .Answers({x::kIdYes})
          .Gives(0, {question})
          .Makes(Out("old.txt"), kContent),
      // A replaced file keeps the name it is stored under, as a copy made in
      // place and the platform's own editors leave it.
      Copy("Yes, to a name stored in capitals", To(Data("report.txt")))
          .With(Data("Report.TXT"))
          .Answers({x::kIdYes})
          .Gives(0, {Question(Lower(Data("report.txt")))})
          .MakesNamed(Data("Report.TXT"), kContent),
      Copy("chosen in the dialog in capitals", {S(Src())})
          .With(Data("notes.txt"))
          .Chooses({{false, Data("NOTES.TXT")}})
          .MakesNamed(Data("notes.txt"), kContent),
  };
  // The box could not be shown: 0 on Windows, -1 under Wine for a bad owner;
  // any answer but Yes and No is no answer.
  for (const int answer : {0, -1, 2 /* IDCANCEL */}) {
    rows.push_back(Copy("answered " + std::to_string(answer), To(Out("old.txt")))
                       .Answers({answer})
                       .Gives(5, {question}));
  }
  Run(rows);
}

// A new file takes its source's last-write time and its read-only and
// hidden marks, as the platform's own copy gives them, and keeps the mark
// for backup that the file system gives what it writes (a source from a
// CD-ROM has none).
TEST_F(Plovers, ACopyKeepsTheSourcesTimeAndMarks) {
  int n = 0;
  for (const bool readOnly : {false, true}) {
    for (const bool hidden : {false, true}) {
      const std::string source = Data("marked" + std::to_string(n) + ".txt");
      const std::string copy = Out("marked" + std::to_string(n++) + ".txt");
      WriteFile(source, kContent);
      SetReadOnly(source, readOnly);
      if (hidden) SetHidden(source);
      EXPECT_EQ(0, CallPlovers(source, copy));
      EXPECT_EQ(CopiedFacts(source), CopiedFacts(copy));
      EXPECT_TRUE(MarkedForBackup(copy));
      EXPECT_EQ(kContent, Content(copy));
      SetReadOnly(source, false);
      SetReadOnly(copy, false);
    }
  }
}

// The new file is made beside the destination under a free name; with
// every name taken nothing is replaced, and one free name is enough.
TEST_F(Plovers, NamesBesideTheDestination) {
  WriteFile(Data("old.txt"), "old");
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    WriteFile(Data("~tm" + std::string(1, letter) + TemporaryDigits() + ".tmp"), "taken");
  }
  const std::vector<std::string> taken = FolderListing(Root() + "\\Data");
  Ui().answers = {x::kIdYes};
  EXPECT_EQ(4, CallPlovers(Data("a.txt"), Data("old.txt")));
  EXPECT_EQ("old", Content(Data("old.txt")));
  EXPECT_EQ(taken, FolderListing(Root() + "\\Data"));
  for (const char letter : {'a', 'z'}) {
    const std::string free = Data("~tm" + std::string(1, letter) + TemporaryDigits() + ".tmp");
    RemoveFile(free);
    Ui().answers = {x::kIdYes};
    EXPECT_EQ(0, CallPlovers(Data("a.txt"), Data("old.txt"))) << letter;
    EXPECT_FALSE(Exists(free)) << letter;
    EXPECT_EQ(kContent, Content(Data("old.txt")));
    WriteFile(Data("old.txt"), "old");
    WriteFile(free, "taken");
  }
}

TEST_F(Plovers, TheSaveDialogAsTheUserSeesIt) {
  Ui().choices = {{false, Data("chosen.txt")}};
  EXPECT_EQ(0, CallPlovers(Data("a.txt")));
  ASSERT_EQ(1u, Ui().dialogs.size());
  const DialogSeen& seen = Ui().dialogs[0];
  if (IsRealDll()) {
    EXPECT_EQ(76u, seen.structSize);
  }
  EXPECT_EQ(host.window, seen.owner);
  EXPECT_EQ(host.hostInstance, seen.instance);
  EXPECT_EQ((std::vector<std::string>{"All Files (*.*) ", " *.* "}), seen.filter);
  EXPECT_FALSE(seen.hasCustomFilter);
  EXPECT_EQ(0u, seen.filterIndex);
  EXPECT_EQ("a.txt", seen.offeredName);
  EXPECT_EQ(260u, seen.fileSize);
  EXPECT_EQ(Root() + "\\Data\\", seen.initialDirectory) << "the source's folder on the first run";
  EXPECT_FALSE(seen.hasTitle);
  EXPECT_FALSE(seen.hasDefaultExtension);
  EXPECT_EQ(0x80006u, seen.flags);
  EXPECT_EQ(1, seen.modalDepth);
  EXPECT_EQ(2, host.modalBrackets) << "the dialog's, and the copy's";
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_EQ(kContent, Content(Data("chosen.txt")));
}

TEST_F(Plovers, TheDialogRemembersWhereTheUserLastSaved) {
  MakeDirectory(Root() + "\\Elsewhere");
  MakeDirectory(Root() + "\\Other");
  WriteFile(Root() + "\\Other\\z.dat", "z");

  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallPlovers(Data("a.txt")));
  EXPECT_TRUE(OneBox(x::kNothingDone));

  // A cancel changes nothing, not even for a source elsewhere.
  Ui().choices = {{false, Root() + "\\Elsewhere\\Kept.Doc"}};
  EXPECT_EQ(0, CallPlovers(Root() + "\\Other\\z.dat"));
  EXPECT_EQ(Root() + "\\Data\\", Ui().dialogs[1].initialDirectory);
  EXPECT_EQ("z.dat", Ui().dialogs[1].offeredName);
  EXPECT_EQ("z", Content(Root() + "\\Elsewhere\\Kept.Doc")) << "the chosen name, as chosen";
  EXPECT_EQ("Kept.Doc", NameOnDisk(Root() + "\\Elsewhere\\Kept.Doc"));

  // The completed dialog moved it.
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallPlovers(Data("a.txt")));
  EXPECT_EQ(Root() + "\\Elsewhere\\", Ui().dialogs[2].initialDirectory);
  // A copy with a destination leaves it alone.
  EXPECT_EQ(0, CallPlovers(Data("a.txt"), "given.txt"));
  Ui().choices = {{true, ""}};
  EXPECT_EQ(1, CallPlovers(Data("a.txt")));
  EXPECT_EQ(Root() + "\\Elsewhere\\", Ui().dialogs[3].initialDirectory);
}

// Where the user sees the dialog open. The module passes the source's folder
// on its first dialog; Windows 7 and later open instead the folder the user
// chose last when the host passed that same folder on its first dialog ever,
// in this run or an earlier one (the rule the platform documents, applied by
// the stand-in: save_dialog_rules.h).
TEST_F(Plovers, WhereTheDialogOpens) {
  const std::u16string data = Widened(Data(""));
  const std::u16string elsewhere = Widened(Root() + "\\Elsewhere\\");
  struct Case {
    const char* what;
    bool windows7;
    sim::DialogHistory history;
    std::string opensIn;
  } cases[] = {
      {"as passed", false, {}, Data("")},
      {"Windows 7 and later: the host's first dialog ever", true, {}, Data("")},
      {"Windows 7 and later: another folder was the host's first", true, {elsewhere, elsewhere},
       Data("")},
      {"Windows 7 and later: the host's first folder ever passed again", true, {data, elsewhere},
       Root() + "\\Elsewhere\\"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Ui().Reset(&host);
    Ui().history = c.windows7 ? &c.history : nullptr;
    EXPECT_EQ(1, CallPlovers(Data("a.txt")));
    ASSERT_EQ(1u, Ui().dialogs.size());
    EXPECT_EQ(Data(""), Ui().dialogs[0].initialDirectory);
    EXPECT_EQ(c.opensIn, Ui().dialogs[0].opensIn);
  }
  Ui().history = nullptr;
}

TEST_F(Plovers, ANameTheCodePageCannotHoldIsNeverUsedInAnotherForm) {
  MakeDirectory(Data("a"));
  WriteFile(Data("cafe.txt"), "old");
  WriteFile(Data("a\\b.txt"), "old");
  const std::u16string data = u"C:\\tamarisk-test\\Data\\";
  std::u16string longWide = data;
  for (int i = 0; i < 120; ++i) longWide += u"\u65E5";  // 日, two bytes each in CP932
  struct Case {
    const char* what;
    std::vector<DialogChoice> choices;
    int32 result;
    std::u16string secondFolder;  // where the second dialog opened; empty: none opened
    const char* written;          // the file that holds the copy, or null
  };
  const std::u16string folder = data + kFolderTheCodePageCannotHold + u"\\";
  std::vector<Case> cases;
  for (const ForeignName& foreign : NamesTheCodePageCannotHold()) {
    cases.push_back({foreign.what, {{false, "", data + foreign.name}}, 1, data, nullptr});
  }
  const Case others[] = {
      {"a folder CP932 lacks: the next dialog opens there, and a good name is taken",
       {{false, "", folder + u"x.txt"}, {false, Data("good.txt")}},
       0,
       folder,
       "good.txt"},
      {"Japanese, half-width kana, a full-width backslash, ~ and blanks stay exact",
       {{false, "", data + u"\u65E5\u672C\u8A9E \uFF76\uFF85\uFF3C~.txt"}},
       0,
       u"",
       // 日本語 ｶﾅ＼~.txt
       "\x93\xFA\x96\x7B\x8C\xEA \xB6\xC5\x81\x5F~.txt"},
      {"too long in CP932 for the module's buffer: as a failed dialog",
       {{false, "", longWide}},
       1,
       u"",
       nullptr},
  };
  cases.insert(cases.end(), std::begin(others), std::end(others));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Ui().messages.clear();
    Ui().dialogs.clear();
    Ui().choices.assign(c.choices.begin(), c.choices.end());
    Ui().choices.push_back({true, ""});
    EXPECT_EQ(c.result, CallPlovers(Data("a.txt")));
    const bool retried = !c.secondFolder.empty();
    ASSERT_EQ(retried ? 2u : 1u, Ui().dialogs.size());
    std::vector<Box> boxes;
    if (retried) boxes.push_back({x::kUnusableName, x::kUnusableNameCaption});
    if (c.result == 1) boxes.push_back(kNothing);
    EXPECT_TRUE(Boxes(boxes));
    if (retried) {
      const DialogSeen& first = Ui().dialogs[0];
      const DialogSeen& second = Ui().dialogs[1];
      EXPECT_EQ(c.secondFolder, second.wideDirectory);
      EXPECT_EQ(first.filter, second.filter);
      EXPECT_EQ(first.offeredName, second.offeredName);
      EXPECT_EQ(first.hasTitle, second.hasTitle);
      EXPECT_EQ(first.hasDefaultExtension, second.hasDefaultExtension);
      EXPECT_EQ(first.flags, second.flags);
      EXPECT_EQ(first.owner, second.owner);
      EXPECT_EQ(1, second.modalDepth);
    }
    EXPECT_EQ("old", Content(Data("cafe.txt")));
    EXPECT_EQ("old", Content(Data("a\\b.txt")));
    if (c.written != nullptr) {
      EXPECT_EQ(kContent, Content(Data(c.written)));
      EXPECT_EQ(c.written, NameOnDisk(Data(c.written)));
      RemoveFile(Data(c.written));
    }
    EXPECT_EQ(3u, FolderListing(Data("")).size()) << "nothing else was written";
    EXPECT_EQ(Root() + "\\Data\\", Ui().dialogs[0].initialDirectory);
  }
}

TEST_F(Plovers, TheBasePathsFolderMayHoldADoubleByteCharacter) {
  const std::string folder = Root() + "\\\x95\x5C";
  MakeDirectory(folder);
  WriteFile(folder + "\\a.txt", "in dbcs");
  host.basePath = folder + "\\demo.dir";
  InterfaceObject* second = NewScripting();
  EXPECT_EQ(0, CallHandler(kPlovers, {Value(S("a.txt")), Value(S("b.txt"))}, second));
  EXPECT_EQ("in dbcs", Content(folder + "\\b.txt"));
}

TEST_F(Plovers, TheLatestInstanceDecidesTheBasePath) {
  WriteFile(Root() + "\\Movies\\first.txt", "first");
  MakeDirectory(Root() + "\\Second");
  WriteFile(Root() + "\\Second\\second.txt", "second");
  host.basePath = Root() + "\\Second\\b.dir";
  NewScripting();
  // Any instance now completes relative sources from the second base path.
  EXPECT_EQ(3, CallPlovers("first.txt", "x.txt"));
  EXPECT_EQ(0, CallPlovers("second.txt", "y.txt"));
  EXPECT_EQ("second", Content(Root() + "\\Second\\y.txt"));
}

TEST_F(Plovers, ABasePathWithoutADriveUsesTheSourcesOwnRoot) {
  host.basePath = "\\tamarisk-test\\Data\\demo.dir";
  NewScripting();
  EXPECT_EQ(0, CallPlovers("a.txt", "b.txt")) << "no drive: the process's current drive";
  EXPECT_EQ(kContent, Content(Data("b.txt")));
  if (IsRealDll()) return;  // only the in-memory files hold paths past 260 bytes
  // With the drive in front, a path of 510 bytes or more has no full form: compared as given.
  const std::string folder = Data(std::string(254 - Data("").size(), 'd') + "\\");
  MakeDirectory(folder);
  for (const std::size_t size : {510u, 511u}) {
    const std::string name = folder.substr(2) + std::string(size + 2 - folder.size() - 4, 'n');
    WriteFile(name + ".txt", "long");
    Ui().messages.clear();
    EXPECT_EQ(2, CallPlovers(name + ".txt", name + ".TXT")) << size;
    EXPECT_TRUE(OneBox(x::kSameAsSource));
    EXPECT_EQ(0, CallPlovers(name + ".txt", name + ".cpy")) << size;
    EXPECT_EQ("long", Content(name + ".cpy")) << size;
  }
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
