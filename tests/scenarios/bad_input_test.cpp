// Hostile calls of both handlers: every argument count and value kind,
// paths at and past every length limit, odd path forms, double-byte
// characters at every boundary, malformed bitmaps and short pictures. Each
// call must end with its defined result and message, leave the host
// balanced, and change nothing outside the test folder.
#include <gtest/gtest.h>

#include <climits>
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

class BadInput : public RowTest {
 protected:
  void SetUp() override {
    // A host that scribbles into the buffer of a conversion that fails.
    host.valueAsTextWritesGarbage = true;
    host.casts = {{"Internal",
                   {{1, MakeMember(kMemberName, "field", "bad\rinput")},
                    // The longest name a buffer holds.
                    {2, MakeMember(std::string(511, 'm'), "field", "bad\rinput")}}}};
    RowTest::SetUp();
  }

  void Stage() override {
    RowTest::Stage();
    MakeDirectory(Data("Folder"));
    MakeDirectory(Data("\x95\x5C"));
    WriteFile(Data(kMemberName + ".txt"), kContent);
  }

  const std::string kMemberName = "tamarisk-bad-input";
  const std::string kText = "bad\r\ninput";
};

// A path with slashes for its backslashes.
std::string Slashed(std::string path) {
  for (char& c : path) c = c == '\\' ? '/' : c;
  return path;
}

// "C:\\folder\\name" as the network path "\\\\folder\\name": the drive's
// folder read as a server.
std::string Network(const std::string& path) { return "\\\\" + path.substr(3); }

// A string of exactly n bytes: prefix, then filler.
std::string Sized(const std::string& prefix, std::size_t n, char filler = 'n') {
  return prefix + std::string(n - prefix.size(), filler);
}

// A folder of 254 bytes in the test folder, with its separator.
std::string Deep() { return Sized(Root() + "\\", 254, 'd') + "\\"; }

// A path of 511 bytes in it: folders and names within 255 bytes each.
std::string Path511() {
  return Deep() + std::string(200, 'n') + "." + std::string(511 - Deep().size() - 201, 'e');
}

TEST_F(BadInput, FileCopyArguments) {
  const std::string b = Out("b.txt");
  const std::vector<Arg> other = {I(7), kSym, kFloat, kVoid};
  std::vector<Row> rows = {
      Copy("no arguments", {}).Gives(2, {kInvalid}),
      Copy("one argument", {S(Src())}).Gives(1, {kNothing}).Dialogs(1),
      Copy("two arguments", To(b)).Makes(b, kContent),
      Copy("three arguments", {S(Src()), S(b), S(b)}).Gives(2, {kInvalid}),
      Copy("four arguments", {S(Src()), S(b), I(1), kVoid}).Gives(2, {kInvalid}),
      Copy("five arguments", {kVoid, kVoid, kVoid, kVoid, kVoid}).Gives(2, {kInvalid}),
      Copy("empty source", {S("")}).Gives(4, {kError}),
      Copy("empty source and destination", {S(""), S("")}).Gives(4, {kError}),
      Copy("empty destination", To("")).Gives(1, {kNothing}).Dialogs(1),
  };
  for (const Arg& arg : other) {
    const std::string kind = arg.kindName;
    rows.push_back(Copy("source: " + kind, {arg}).Gives(2, {kInvalid}));
    rows.push_back(
        Copy("source: " + kind + ", with a destination", {arg, S(b)}).Gives(2, {kInvalid}));
    rows.push_back(Copy("destination: " + kind, {S(Src()), arg}).Gives(2, {kInvalid}));
    rows.push_back(Copy("third argument: " + kind, {S(Src()), S(b), arg}).Gives(2, {kInvalid}));
  }
  Run(rows);
}

TEST_F(BadInput, FileCopyPathLengths) {
  const std::string data = Root() + "\\Data\\";
  const std::string long511 = Path511();
  ASSERT_EQ(511u, long511.size());
  const std::string at255 = Sized(data, 255);
  const std::string at256 = Sized(data, 256);
  Run({
      Copy("a 255-byte source", {S(at255), S("b.txt")}).With(at255).Makes(data + "b.txt", "old"),
      Copy("a 256-byte source", {S(at256), S("b.txt")}).With(at256).Makes(data + "b.txt", "old"),
      Copy("a 511-byte source", {S(long511), S("b.txt")}).Gives(3, {kNotFound}),
      // The host would cut it to 511 bytes, which names another file.
      Copy("a 512-byte source", {S(long511 + "Z"), S("b.txt")}).Gives(2, {kInvalid}),
      Copy("a 4000-byte source", {S(Sized(long511, 4000)), S("b.txt")}).Gives(2, {kInvalid}),
      Copy("a 4000-byte name", {S(Sized(data, 4000))}).Gives(2, {kInvalid}),
      Copy("a 256-byte name", {S(data + std::string(256, 'n'))}).Gives(2, {kInvalid}),
      Copy("a 255-byte name", {S(data + std::string(255, 'n'))}).Gives(3, {kNotFound}),
      Copy("a 256-byte folder", {S("C:\\" + std::string(254, 'd') + "\\a.txt")})
          .Gives(2, {kInvalid}),
      Copy("a 255-byte destination", To(Sized(Out(""), 255)))
          .Makes(Lower(Sized(Out(""), 255)), kContent),
      Copy("a 256-byte destination", To(Sized(Out(""), 256)))
          .Makes(Lower(Sized(Out(""), 256)), kContent),
      Copy("a 511-byte destination", To(long511)).Gives(4, {kError}),
      Copy("a 512-byte destination", To(long511 + "Z")).Gives(2, {kInvalid}),
      Copy("a 512-byte destination whose cut names a file", To(Sized(Out(""), 504) + ".txt.bak"))
          .Gives(2, {kInvalid}),
      Copy("a 4000-byte destination", To(Sized(Out(""), 4000))).Gives(2, {kInvalid}),
      Copy("a 4000-byte relative destination", To(std::string(4000, 'r'))).Gives(2, {kInvalid}),
      Copy("a destination folder that the source's pushes past 255",
           To(std::string(240, 'f') + "\\b.txt"))
          .Gives(2, {kInvalid}),
      // The source's folder and the given one fill 255 bytes: with the drive
      // and a 255-byte name, 512, no room for the NUL.
      Copy("a destination that joins to 512 bytes",
           To(std::string(254 - (data.size() - 2), 'f') + "\\" + std::string(255, 'n')))
          .Gives(2, {kInvalid}),
  });
}

TEST_F(BadInput, FileCopyPathForms) {
  const std::string data = Root() + "\\Data\\";
  const std::string odd = data + "tamarisk-bad-input.txt";
  Run({
      Copy("a source folder", {S(data + "Folder"), S("b.txt")}).Gives(4, {kError}),
      Copy("a source folder with its separator", {S(data + "Folder\\"), S("b.txt")})
          .Gives(4, {kError}),
      Copy("a source of one backslash", {S("\\"), S("b.txt")}).Gives(4, {kError}),
      Copy("a source of backslashes", {S("\\\\\\\\")}).Gives(3, {kNotFound}),
      Copy("a source of slashes", {S("////")}).Gives(3, {kNotFound}),
      Copy("a source of one dot", {S(".")}).Gives(4, {kError}),
      Copy("a source of two dots", {S("..")}).Gives(4, {kError}),
      Copy("a source of three dots", {S("...")}).Gives(4, {kError}),
      Copy("a source drive alone", {S("C:")}).Gives(4, {kError}),
      Copy("another drive alone", {S("D:")}).Gives(4, {kError}),
      Copy("a missing drive", {S("Q:")}).Gives(3, {kNotFound}),
      Copy("a file on a missing drive", {S("Q:\\a.txt"), S(Out("b.txt"))}).Gives(3, {kNotFound}),
      Copy("a colon alone", {S(":")}).Gives(3, {kNotFound}),
      Copy("a wildcard drive", {S("*:")}).Gives(3, {kNotFound}),
      Copy("a UNC source", {S("\\\\server\\share\\a.txt"), S(Out("b.txt"))}).Gives(3, {kNotFound}),
      Copy("a long-path prefix", {S("\\\\?\\" + Src()), S(Out("b.txt"))})
          .Makes(Out("b.txt"), kContent),
      Copy("a source with a star", {S(data + "*.txt"), S(Out("b.txt"))}).Gives(3, {kNotFound}),
      Copy("a source with a question mark", {S(data + "a?txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),

      Copy("a destination of one backslash", {S(odd), S("\\")})
          .Makes("C:\\tamarisk-bad-input.txt", kContent),
      Copy("another drive as the destination", {S(odd), S("D:")})
          .Makes("D:\\tamarisk-bad-input.txt", kContent),
      Copy("a destination of two slashes is a network path", To("//")).Gives(4, {kError}),
      Copy("the source itself", To(data + "A.Txt")).Gives(2, {kSame}),
      Copy("the source through a dot folder", To(data + ".\\a.txt")).Gives(2, {kSame}),
      Copy("the source through its parent", To(data + "..\\Data\\a.txt")).Gives(2, {kSame}),
      Copy("the source through a doubled separator", To(Root() + "\\\\Data\\a.txt"))
          .Gives(2, {kSame}),
      Copy("the source with a trailing dot", To(data + "A.TXT.")).Gives(2, {kSame}),
      Copy("the source with trailing blanks", To(data + "a.txt  ")).Gives(2, {kSame}),
      Copy("the source through slashes", To(Slashed(Src()))).Gives(2, {kSame}),
      Copy("a slashed absolute destination", To(Slashed(Out("x.txt"))))
          .Makes(Out("x.txt"), kContent),
      Copy("a slashed absolute source", {S(Slashed(Src())), S("b.txt")})
          .Makes(data + "b.txt", kContent),
      // A drive in front would make these the test folder's own files.
      Copy("a network source", {S(Network(Src())), S(Out("b.txt"))}).Gives(3, {kNotFound}),
      Copy("a network destination", To(Network(Out("b.txt")))).Gives(4, {kError}),
      Copy("a destination of one dot", To(".")).Gives(2, {kInvalid}),
      Copy("a destination of two dots", To("..")).Gives(4, {kFolder}),
      Copy("a destination of three dots", To("...")).Gives(4, {kFolder}),
      Copy("a destination ending in a dot", To("b.")).Makes(data + "b", kContent),
      Copy("a destination on a missing drive", To("Q:")).Gives(4, {kError}),
      Copy("a file on a missing drive as destination", To("Q:\\x\\b.txt")).Gives(4, {kError}),
      Copy("a UNC destination", To("\\\\server\\share\\b.txt")).Gives(4, {kError}),
      Copy("a UNC destination folder", To("\\\\server\\share\\")).Gives(4, {kError}),
      Copy("a destination with a star", To("*.txt")).Gives(4, {kError}),
      Copy("a destination with a question mark", To("b?.txt")).Gives(4, {kError}),
      Copy("a destination folder with a star", To(Out("*\\"))).Gives(4, {kError}),
      Copy("an existing folder as destination", To(data + "FOLDER")).Gives(4, {kFolder}),
      // Paths in the ANSI code page of an English Windows, and of one with
      // the UTF-8 option: café.txt, 表.txt.
      Copy("an existing file with an e acute, Yes (code page 1252)", To(Out("Caf\xE9.txt")))
          .InCodePage(1252)
          .With(Out("caf\xE9.txt"))
          .Answers({x::kIdYes})
          .Gives(0, {Question(u"c:\\tamarisk-test\\out\\caf\u00E9.txt")})
          .Makes(Out("caf\xE9.txt"), kContent),
      Copy("an existing file with an e acute, No (code page 1252)", To(Out("Caf\xE9.txt")))
          .InCodePage(1252)
          .With(Out("caf\xE9.txt"))
          .Gives(1, {Question(u"c:\\tamarisk-test\\out\\caf\u00E9.txt"), kNothing}),
      Copy("an existing file with a kanji, Yes (code page 65001)", To(Out("\xE8\xA1\xA8.TXT")))
          .InCodePage(65001)
          .With(Out("\xE8\xA1\xA8.txt"))
          .Answers({x::kIdYes})
          .Gives(0, {Question(u"c:\\tamarisk-test\\out\\\u8868.txt")})
          .Makes(Out("\xE8\xA1\xA8.txt"), kContent),
  });
}

TEST_F(BadInput, FileCopyDoubleByteCharacters) {
  const std::string data = Root() + "\\Data\\";
  const std::string hyo = "\x95\x5C";     // a character whose trail byte is a backslash
  const std::string smallA = "\x82\x9F";  // ぁ, whose trail byte lies in the lead range
  // A source whose 511th byte is the lead byte of a character the host cuts in two.
  const std::string cut = Path511().substr(0, 510) + hyo;
  ASSERT_EQ(512u, cut.size());
  Run({
      Copy("a 255-byte name ending in a double-byte character",
           {S(data + std::string(253, 'n') + hyo)})
          .Gives(3, {kNotFound}),
      Copy("a 256-byte name ending in a double-byte character",
           {S(data + std::string(254, 'n') + hyo)})
          .Gives(2, {kInvalid}),
      Copy("a 512-byte source ending in the character", {S(cut), S("b.txt")}).Gives(2, {kInvalid}),
      Copy("a 512-byte destination ending in the character", To(cut)).Gives(2, {kInvalid}),
      Copy("a lead byte before a separator", {S(data + "\x95\\a.txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Copy("a destination ending in the character", To(Out(hyo))).Makes(Out(hyo), kContent),
      // Wine's _stat takes the trail byte for a trailing separator and finds
      // nothing, so there the copy is tried and fails.
      Copy("a destination that is a folder ending in the character", To(data + hyo))
          .Gives(4, {IsRealDll() ? kError : kFolder}),
      Copy("a destination folder ending in the character", To(data + hyo + "\\"))
          .Makes(data + hyo + "\\a.txt", kContent),
      Copy("a missing destination folder ending in the character", To(Out(hyo + "\\")))
          .Gives(4, {kError}),
      Copy("a double-byte character before a dot", To("\x83\x41.TXT"))
          .Makes(data + "\x83\x41.txt", kContent),
      Copy("a lead byte before a dot", To("x\x95.txt")).Makes(data + "x\x95.txt", kContent),
      // A lead byte with no trail byte, then the NUL: the text ends there.
      Copy("a source ending in a lone lead byte", {S(data + "x\x95"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Copy("a destination ending in a lone lead byte", To(Out("x\x95")))
          .Makes(Out("x\x95"), kContent),
      // No text of the code page, so no question can name it: not asked, kept.
      Copy("an existing destination ending in a lone lead byte", To(Out("x\x95")))
          .With(Out("x\x95"))
          .Gives(5),
      Export("an export destination ending in a lone lead byte",
             {S("Internal"), I(1), S(Out("y\x95"))})
          .Makes(Out("y\x95.txt"), kText),
      // The letter after smallA is a letter, not a trail byte.
      Copy("one file, its letter after a character written either way",
           {S(data + smallA + "A.txt"), S(data + smallA + "a.txt")})
          .With(data + smallA + "A.txt")
          .Gives(2, {kSame}),
      Copy("a trail byte that is a capital stays one", To("\x83\x41X.TXT"))
          .MakesNamed(data + "\x83\x41x.txt", kContent),
      // Characters are walked from the start: a trail byte in the lead range
      // does not leave the next letter capital.
      Copy("the letter after a trail byte in the lead range", To(smallA + "AB.TXT"))
          .MakesNamed(data + smallA + "ab.txt", kContent),
      Copy("a source in a folder ending in the character", {S(data + hyo + "\\A.TXT"), S("B.TXT")})
          .With(data + hyo + "\\A.TXT")
          .MakesNamed(data + hyo + "\\b.txt", "old"),
  });
}

// A destination that cannot be replaced stays as it was, and nothing else
// is left beside it: the file is replaced, never written over.
TEST_F(BadInput, DestinationsThatCannotBeReplaced) {
  const std::string kept = Out("kept.txt");
  Run({
      Copy("read-only", To(kept))
          .With(kept)
          .ReadOnly(kept)
          .Answers({x::kIdYes})
          .Gives(4, {Question(Lower(kept)), kError}),
      Copy("held open by another program", To(kept))
          .With(kept)
          .Holding(kept)
          .Answers({x::kIdYes})
          .Gives(4, {Question(Lower(kept)), kError}),
  });
}

TEST_F(BadInput, TheLongestQuestionFitsItsBox) {
  // Only the in-memory files can hold a 511-byte path.
  if (IsRealDll()) GTEST_SKIP() << "Windows paths stop at 260 bytes";
  const std::string target = Path511();
  Run({Copy("a 511-byte path", To(target))
           .With(Deep())
           .With(target)
           .Answers({x::kIdNo})
           .Gives(1, {Question(Lower(target)), kNothing})});
}

TEST_F(BadInput, ArgumentCountsBeyondTheArguments) {
  // The count alone decides; an array the count does not cover is never read.
  for (const int32 selector : {kPlovers, kAvocets}) {
    for (const int32 count : {-1, INT_MIN, 6, INT_MAX}) {
      SCOPED_TRACE(std::to_string(selector) + " with " + std::to_string(count));
      Restage();
      CallRecord call = {};
      call.selector = selector;
      call.result = host.VoidValue();
      call.argCount = count;
      call.args = nullptr;
      EXPECT_EQ(kOk, static_cast<const ScriptingInterfaceOps*>(scripting_->ops)
                         ->DispatchCall(scripting_, &call));
      EXPECT_EQ(2, host.IntegerOf(call.result));
      EXPECT_TRUE(OneBox(x::kInvalidArguments));
      EXPECT_EQ(baseline_, host.Audit());
    }
  }
}

TEST_F(BadInput, ExportArguments) {
  const std::string doc = Out("x.doc");
  const std::string txt = Out("x.txt");
  const std::vector<Arg> other = {kSym, kFloat, kVoid};
  std::vector<Row> rows = {
      Export("no arguments", {}).Gives(2, {kInvalid}),
      Export("one argument", {S("Internal")}).Gives(2, {kInvalid}),
      Export("two arguments", {S("Internal"), I(1)}).Gives(1, {kNothing}).Dialogs(1),
      Export("three arguments", {S("Internal"), I(1), S(doc)}).Makes(txt, kText),
      Export("four arguments", {S("Internal"), I(1), S(doc), S(doc)}).Gives(2, {kInvalid}),
      Export("five arguments", {kVoid, kVoid, kVoid, kVoid, kVoid}).Gives(2, {kInvalid}),
      Export("cast and member by number", {I(1), I(1), S(doc)}).Makes(txt, kText),
      Export("member by name", {I(1), S(kMemberName), S(doc)}).Makes(txt, kText),
      Export("an empty cast name", {S(""), I(1), S(doc)}).Gives(10, {kNoCast}),
      Export("an empty member name", {S("Internal"), S(""), S(doc)}).Gives(11, {kNoMember}),
      Export("an empty destination", {I(1), I(1), S("")}).Gives(1, {kNothing}).Dialogs(1),
      // A name longer than 511 bytes is refused: cut, it would name another.
      Export("a 4000-byte cast name", {S(std::string(4000, 'c')), I(1)}).Gives(2, {kInvalidMember}),
      Export("a 4000-byte member name", {I(1), S(std::string(4000, 'm'))})
          .Gives(2, {kInvalidMember}),
      Export("a 512-byte cast name ending in a character",
             {S(std::string(510, 'c') + "\x95\x5C"), I(1)})
          .Gives(2, {kInvalidMember}),
      Export("a member name of lead bytes", {I(1), S(std::string(600, '\x95'))})
          .Gives(2, {kInvalidMember}),
      Export("a 511-byte member name", {I(1), S(std::string(511, 'm')), S(doc)}).Makes(txt, kText),
      Export("a 512-byte name whose first 511 bytes name a member",
             {I(1), S(std::string(512, 'm')), S(doc)})
          .Gives(2, {kInvalidMember}),
      Export("a 511-byte cast name", {S(std::string(511, 'c')), I(1), S(doc)}).Gives(10, {kNoCast}),
  };
  for (const int32 n : {0, -1, INT_MIN, INT_MAX, 2}) {
    rows.push_back(
        Export("cast number " + std::to_string(n), {I(n), I(1), S(doc)}).Gives(10, {kNoCast}));
    if (n == 2) continue;
    rows.push_back(
        Export("member number " + std::to_string(n), {I(1), I(n), S(doc)}).Gives(11, {kNoMember}));
  }
  for (const Arg& arg : other) {
    const std::string kind = arg.kindName;
    rows.push_back(Export("cast: " + kind, {arg, I(1), S(doc)}).Gives(2, {kInvalidMember}));
    rows.push_back(Export("member: " + kind, {I(1), arg, S(doc)}).Gives(2, {kInvalidMember}));
    rows.push_back(
        Export("fourth argument: " + kind, {I(1), I(1), S(doc), arg}).Gives(2, {kInvalid}));
  }
  for (const Arg& arg : {I(7), kSym, kFloat, kVoid}) {
    // Not a string: no destination, so the user is asked.
    rows.push_back(
        Export("destination: " + arg.kindName, {I(1), I(1), arg}).Gives(1, {kNothing}).Dialogs(1));
  }
  Run(rows);
}

TEST_F(BadInput, ExportDestinations) {
  Run({
      Export("a relative name", {I(1), I(1), S("rel.doc")}).Makes(Root() + "\\rel.txt", kText),
      Export("one backslash", {I(1), I(1), S("\\")}).Makes("C:\\" + kMemberName + ".txt", kText),
      Export("one dot", {I(1), I(1), S(".")}).Gives(2, {kInvalid}),
      Export("a missing drive", {I(1), I(1), S("Q:\\x.doc")}).Gives(4, {kError}),
      Export("a UNC path", {I(1), I(1), S("\\\\server\\share\\x.doc")}).Gives(4, {kError}),
      Export("a star", {I(1), I(1), S("*.doc")}).Gives(4, {kError}),
      Export("a question mark", {I(1), I(1), S(Out("?"))}).Gives(4, {kError}),
      Export("511 bytes", {I(1), I(1), S(Path511())}).Gives(4, {kError}),
      Export("4000 bytes", {I(1), I(1), S(Sized(Out(""), 4000))}).Gives(2, {kInvalid}),
      Export("an existing file, No", {I(1), I(1), S(Out("OLD.doc"))})
          .Answers({x::kIdNo})
          .Gives(1, {Question(Lower(Out("old.txt"))), kNothing}),
  });
}

TEST_F(BadInput, AnOverlongMemberNameIsOfferedCut) {
  host.casts[0].members[1].name = std::string(4000, 'n');
  Run({Export("a 4000-byte member name", {I(1), I(1)})
           .Gives(1, {kNothing})
           .Offers(std::string(255, 'n') + ".txt")});
}

// ---- bitmaps and pictures ------------------------------------------------------

struct BitmapRow {
  const char* what;
  DibShape header;  // the block is blockBytes long (kWholeBlock: as the shape says)
  std::size_t blockBytes;
  // 0: the block's first dibBytes written after a file header whose pixel
  // offset is given; 12: the conversion fails.
  int32 result;
  uint32 dibBytes;
  uint32 pixelOffset;
};

using BadMedia = BadInput;

constexpr uint32 kMin = 0x80000000u;
constexpr uint32 kMax = 0x7FFFFFFFu;
constexpr uint32 kAll = 0xFFFFFFFFu;

TEST_F(BadMedia, MalformedBitmapHeaders) {
  // 4 x 2 pixels at 24 bits: rows of 12 bytes.
  const DibShape ok = {4, 2, 24, 0, 0, 0, 0, 0};
  // The sound header with one field changed.
  auto with = [&ok](auto field, uint32 value) {
    DibShape h = ok;
    h.*field = value;
    return h;
  };
  // Every field 40: the header, 40 colours and 40 rows of 200 bytes.
  const std::size_t all40 = 40 + 160 + 200 * 40;
  const DibShape allOnes = {-1, -1, 0xFFFF, kAll, kAll, kAll, 0, 0, kAll, 0xFFFF};
  const std::vector<BitmapRow> bitmaps = {
      {"a sound header", ok, 64, 0, 64, 54},
      {"header size 0", with(&DibShape::headerSize, 0), 64, 12, 0, 0},
      {"header size 39", with(&DibShape::headerSize, 39), 64, 12, 0, 0},
      {"header size 41", with(&DibShape::headerSize, 41), 64, 12, 0, 0},
      {"header size all ones", with(&DibShape::headerSize, kAll), 64, 12, 0, 0},
      {"width 0", with(&DibShape::width, 0), 64, 0, 40, 54},
      {"width -1", with(&DibShape::width, kAll), 64, 12, 0, 0},
      {"width INT_MIN", with(&DibShape::width, kMin), 64, 12, 0, 0},
      {"width INT_MAX", with(&DibShape::width, kMax), 64, 12, 0, 0},
      {"height 0", with(&DibShape::height, 0), 64, 0, 40, 54},
      {"height -1: one top-down row", with(&DibShape::height, kAll), 64, 0, 52, 54},
      {"height INT_MIN", with(&DibShape::height, kMin), 64, 12, 0, 0},
      {"height INT_MAX", with(&DibShape::height, kMax), 64, 12, 0, 0},
      {"width and height INT_MAX", {INT_MAX, INT_MAX, 24, 0, 0, 0, 0, 0}, 64, 12, 0, 0},
      {"planes all ones", with(&DibShape::planes, 0xFFFF), 64, 0, 64, 54},
      {"0 bits", with(&DibShape::bits, 0), 64, 0, 40, 54},
      {"1 bit: two colours", with(&DibShape::bits, 1), 64, 0, 56, 62},
      {"2 bits: no table", with(&DibShape::bits, 2), 64, 0, 48, 54},
      {"3 bits: no table", with(&DibShape::bits, 3), 64, 0, 48, 54},
      {"64 bits", with(&DibShape::bits, 64), 104, 0, 104, 54},
      {"64 bits, a block too short", with(&DibShape::bits, 64), 103, 12, 0, 0},
      {"65535 bits", with(&DibShape::bits, 0xFFFF), 40 + 65536, 0, 40 + 65536, 54},
      {"65535 bits, a block too short", with(&DibShape::bits, 0xFFFF), 40 + 65535, 12, 0, 0},
      {"65535 bits, INT_MAX wide", {INT_MAX, 2, 0xFFFF, 0, 0, 0, 0, 0}, 64, 12, 0, 0},
      {"RLE8, stored size", {4, 2, 8, 1, 0, 10, 0, 0}, 1100, 0, 40 + 1024 + 10, 54 + 1024},
      {"RLE8, size 0", {4, 2, 8, 1, 0, 0, 0, 0}, 1100, 0, 40 + 1024, 54 + 1024},
      {"RLE8, size all ones", {4, 2, 8, 1, 0, kAll, 0, 0}, 1100, 12, 0, 0},
      {"RLE4, a block too short", {4, 2, 4, 2, 0, 30, 0, 0}, 133, 12, 0, 0},
      {"RLE4, stored size", {4, 2, 4, 2, 0, 30, 0, 0}, 134, 0, 134, 118},
      {"compression 3", with(&DibShape::compression, 3), 64, 0, 64, 54},
      {"compression 4", with(&DibShape::compression, 4), 64, 0, 64, 54},
      {"compression 5", with(&DibShape::compression, 5), 64, 0, 64, 54},
      {"compression 6", with(&DibShape::compression, 6), 64, 0, 64, 54},
      {"compression all ones", with(&DibShape::compression, kAll), 64, 0, 64, 54},
      {"image size all ones, uncompressed", with(&DibShape::imageSizeField, kAll), 64, 0, 64, 54},
      {"colours used 1", with(&DibShape::colorsUsed, 1), 68, 0, 68, 58},
      {"colours used all ones", with(&DibShape::colorsUsed, kAll), 64, 12, 0, 0},
      {"colours used all ones, room for 65532 bytes", with(&DibShape::colorsUsed, kAll),
       40 + 65532 + 24, 0, 40 + 65532 + 24, 54 + 65532},
      {"colours used 16384: a table of 0 bytes", with(&DibShape::colorsUsed, 16384), 64, 0, 64, 54},
      {"colours used 16385: a table of 4 bytes", with(&DibShape::colorsUsed, 16385), 68, 0, 68, 58},
      {"a block of 1 byte", ok, 1, 12, 0, 0},
      {"a block of 4 bytes", ok, 4, 12, 0, 0},
      {"a block of 39 bytes", ok, 39, 12, 0, 0},
      {"a block of just the header", ok, 40, 12, 0, 0},
      {"a block one byte short", ok, 63, 12, 0, 0},
      {"every field all ones", allOnes, 64, 12, 0, 0},
      {"every field 40", {40, 40, 40, 40, 40, 40, 0, 0, 40, 40}, all40, 0, all40, 54 + 160},
      {"no image from the host", ok, 0, 12, 0, 0},
      {"a 12-byte core header", {3, 2, 24, 0, 0, 0, 0, 24, 12}, kWholeBlock, 12, 0, 0},
      {"a 124-byte header", {3, 2, 24, 0, 0, 0, 0, 24, 124}, kWholeBlock, 12, 0, 0},
      {"pixels missing from the block", {3, 2, 24, 0, 0, 0, 0, 23}, kWholeBlock, 12, 0, 0},
      {"a colour table missing from the block", {4, 2, 8, 0, 0, 0, 10, 8}, kWholeBlock, 12, 0, 0},
      {"colour masks cut short", {0, 2, 32, 3, 0, 0, 2, 0}, kWholeBlock, 12, 0, 0},
      {"an RLE size beyond the block", {5, 3, 8, 1, 0, 5000, 256, 77}, kWholeBlock, 12, 0, 0},
      {"a block shorter than its header", {3, 2, 24, 0, 0, 0, 0, 0}, 20, 12, 0, 0},
      {"a negative width", {-3, 2, 24, 0, 0, 0, 0, 24}, kWholeBlock, 12, 0, 0},
      {"sizes that overflow", {INT_MAX, INT_MAX, 32, 0, 0, 0, 0, 8}, kWholeBlock, 12, 0, 0},
  };
  std::vector<Row> rows;
  for (const BitmapRow& b : bitmaps) {
    const sim::SimMember bitmap = MakeBitmap(PackedDib(b.header, b.blockBytes));
    Row row = Export(b.what, {I(1), I(2), S(Out("b.bmp"))}).Member(1, 2, bitmap);
    if (b.result == 0) {
      std::string file = BitmapFile(bitmap.dib, b.dibBytes, b.pixelOffset);
      const bool rle = b.header.compression == 1 || b.header.compression == 2;
      if (!rle) Put(file, 14 + 20, b.dibBytes - 40 - (b.pixelOffset - 54), 4);
      row.Makes(Out("b.bmp"), file);
    } else {
      row.Gives(b.result, {kBitmap});
      // Without a destination the failure comes before any dialog.
      rows.push_back(Export(b.what + std::string(", no destination"), {I(1), I(2)})
                         .Member(1, 2, bitmap)
                         .Gives(b.result, {kBitmap}));
    }
    rows.push_back(row);
  }
  Run(rows);
}

TEST_F(BadMedia, ShortPictureHandles) {
  struct Case {
    const char* what;
    int32 size;
    std::size_t handleBytes;
    int32 result;
    bool guardPageAfter = false;  // else a no-access page follows the handle
    bool sizeIsInteger = true;
  };
  const std::vector<Case> cases = {
      {"1 byte", 64, 1, 4},
      {"2 bytes", 64, 2, 4},
      {"37 bytes, fewer than the host's 38", 64, 37, 4},
      {"37 bytes, size 100", 100, 37, 4},
      {"38 bytes, size 65", 65, 38, 4},
      {"38 bytes, size 64", 64, 38, 0},
      {"a handle shorter than the size says", 1064, 1037, 4},
      {"1038 bytes, size to their last byte", 1064, 1038, 0},
      {"1038 bytes, size one byte past them", 1065, 1038, 4},
      {"1038 bytes before a guard page, size to their last byte", 1064, 1038, 0, true},
      {"1038 bytes before a guard page, size one byte past them", 1065, 1038, 4, true},
      {"size INT_MAX", INT_MAX, 1000, 4},
      {"size INT_MIN", INT_MIN, 1000, 4},
      {"size -1", -1, 1000, 4},
      {"size 0", 0, 1000, 4},
      {"a size below 64", 63, 200, 4},
      {"a size that is not an integer", 100, 200, 4, false, false},
      {"no handle", 100, 0, 4},
  };
  std::vector<Row> rows;
  for (const Case& c : cases) {
    sim::SimMember picture = MakePicture(c.size, std::vector<uint8>(c.handleBytes, 0x5A));
    picture.compositeBeforeGuardPage = c.guardPageAfter;
    picture.sizeIsInteger = c.sizeIsInteger;
    Row row = Export(c.what, {I(1), I(3), S(Out("p.pic"))}).Member(1, 3, picture);
    if (c.result == 0) {
      row.Makes(Out("p.pic"), std::string(512, '\0') + std::string(c.handleBytes - 38, '\x5A'));
    } else {
      row.Gives(4, {kError});
    }
    rows.push_back(row);
  }
  Run(rows);
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
