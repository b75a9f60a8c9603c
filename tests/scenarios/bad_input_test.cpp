// Hostile calls of both handlers: every argument count and value kind,
// paths at and past every length limit, odd path forms, double-byte
// characters at every boundary, malformed bitmaps and short pictures. Each
// call must end with its defined result and message, leave the host
// balanced, and change nothing outside the test folder.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/host_fixture.h"
#include "support/packed_dib.h"

namespace tamarisk {
namespace test {
namespace {

namespace x = expected;

enum class Kind { kString, kInteger, kSymbol, kFloat, kVoid };

struct Arg {
  Kind kind;
  std::string text;
  int32 n;
};

Arg S(const std::string& text) { return {Kind::kString, text, 0}; }
Arg I(int32 n) { return {Kind::kInteger, "", n}; }
const Arg kSym = {Kind::kSymbol, "sym", 0};
const Arg kFloat = {Kind::kFloat, "", 0};
const Arg kVoid = {Kind::kVoid, "", 0};

std::string KindName(const Arg& arg) {
  switch (arg.kind) {
    case Kind::kString: return "a string";
    case Kind::kInteger: return "an integer";
    case Kind::kSymbol: return "a symbol";
    case Kind::kFloat: return "a float";
    case Kind::kVoid: return "void";
  }
  return "?";
}

struct Message {
  std::string text;  // CP932, where a character it lacks is '?'
  std::string caption;
  std::u16string widePath = u"";  // the path the text begins with, when CP932 lacks a character
};

const Message kInvalid = {x::kInvalidArguments, x::kCopyFailedCaption};
const Message kInvalidMember = {x::kInvalidArguments, x::kMemberCaption};
const Message kNothing = {x::kNothingDone, x::kCopyFailedCaption};
const Message kNotFound = {x::kFileNotFound, x::kCopyFailedCaption};
const Message kError = {x::kCopyError, x::kCopyFailedCaption};
const Message kSame = {x::kSameAsSource, x::kCopyFailedCaption};
const Message kFolder = {x::kDirectoryExists, x::kCopyFailedCaption};
const Message kNoCast = {x::kNoSuchCast, x::kMemberCaption};
const Message kNoMember = {x::kNoSuchMember, x::kMemberCaption};
const Message kBitmap = {x::kBitmapFailed, x::kMemberCaption};

Message Question(const std::string& lowercasedPath) {
  return {lowercasedPath + "\n" + x::kOverwriteQuestion, x::kOverwriteCaption};
}
// The question naming a path as the user reads it, whatever the code page.
Message Question(const std::u16string& lowercasedPath) {
  return {Cp932Of(lowercasedPath) + "\n" + x::kOverwriteQuestion, x::kOverwriteCaption,
          lowercasedPath};
}

// One hostile call and everything that must follow from it.
struct Row {
  Row(std::string what_, int32 selector_, std::vector<Arg> args_)
      : what(std::move(what_)), selector(selector_), args(std::move(args_)) {}
  Row& Gives(int32 result_, std::vector<Message> messages_ = {}) {
    result = result_;
    messages = std::move(messages_);
    return *this;
  }
  Row& Dialogs(int n) {
    dialogs = n;
    return *this;
  }
  // A file the call writes; outside the test folder it is removed again.
  Row& Makes(const std::string& path, const std::string& bytes) {
    made = path;
    madeBytes = bytes;
    return *this;
  }
  Row& Answers(std::vector<int> answers_) {
    answers = std::move(answers_);
    return *this;
  }
  // A file that exists before the call, holding the source's bytes.
  Row& With(const std::string& path) {
    files.push_back(path);
    return *this;
  }
  // Run only where the ANSI code page is this one (AnsiCodePageScope).
  Row& InCodePage(uint32 codePage_) {
    codePage = codePage_;
    return *this;
  }

  std::string what;
  int32 selector;
  std::vector<Arg> args;
  int32 result = -1;
  std::vector<Message> messages;
  int dialogs = 0;
  std::string made;
  std::string madeBytes;
  std::vector<int> answers;
  std::vector<std::string> files;
  uint32 codePage = 0;
};

class BadInput : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host.basePath = Root() + "\\Movies\\demo.dir";  // before the instance's Create reads it
    // A host that scribbles into the buffer of a conversion that fails.
    host.valueAsTextWritesGarbage = true;
    sim::SimCast cast;
    cast.name = "Internal";
    sim::SimMember text;
    text.name = kMemberName;
    text.type = "field";
    text.text = "bad\rinput";
    cast.members[1] = text;
    text.name = std::string(511, 'm');  // the longest name a buffer holds
    cast.members[2] = text;
    host.casts = {cast};
    scripting_ = NewScripting();
    baseline_ = host.Audit();  // the instance's own references
  }

  // The folders every row starts from.
  void Prepare() {
    ResetFiles();
    MakeStage();
    MakeDirectory(Root() + "\\Data\\Folder");
    MakeDirectory(Root() + "\\Data\\\x95\x5C");
    WriteFile(Src(), kContent);
    WriteFile(Root() + "\\Data\\" + kMemberName + ".txt", kContent);
    WriteFile(Out("old.txt"), "old");
    Ui().Reset(&host);
  }

  std::vector<std::string> Outside() {
    std::vector<std::string> listing = FolderListing("C:\\");
    for (auto it = listing.begin(); it != listing.end();) {
      it = Lower(*it) == "tamarisk-test\\" ? listing.erase(it) : it + 1;
    }
    for (const std::string& entry : FolderListing("D:\\")) listing.push_back("D:" + entry);
    return listing;
  }

  HostValue Value(const Arg& arg) {
    switch (arg.kind) {
      case Kind::kString: return host.StringValue(arg.text);
      case Kind::kInteger: return host.IntegerValue(arg.n);
      case Kind::kSymbol: return host.SymbolValue(arg.text);
      case Kind::kFloat: return host.FloatValue();
      case Kind::kVoid: return host.VoidValue();
    }
    return host.VoidValue();
  }

  void Run(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      const AnsiCodePageScope codePage(row.codePage);
      if (!codePage.available()) continue;
      Prepare();
      for (const std::string& file : row.files) WriteFile(file, kContent);
      const std::vector<std::string> before = Outside();
      Ui().answers.assign(row.answers.begin(), row.answers.end());
      std::vector<HostValue> args;
      for (const Arg& arg : row.args) args.push_back(Value(arg));
      HostValue result = host.VoidValue();
      EXPECT_EQ(kOk, host.Call(scripting_, row.selector, args, &result));
      EXPECT_EQ(sim::ValueKind::kInteger, host.KindOf(result));
      EXPECT_EQ(row.result, host.IntegerOf(result));

      ASSERT_EQ(row.messages.size(), Ui().messages.size());
      for (std::size_t i = 0; i < row.messages.size(); ++i) {
        EXPECT_EQ(row.messages[i].text, Ui().messages[i].text) << "message " << i;
        EXPECT_EQ(row.messages[i].caption, Ui().messages[i].caption) << "message " << i;
        const std::u16string& path = row.messages[i].widePath;
        if (!path.empty()) {
          EXPECT_EQ(path + u"\n", Ui().messages[i].wideText.substr(0, path.size() + 1));
        }
        EXPECT_EQ(row.messages[i].caption == x::kOverwriteCaption ? 0x34u : 0x30u,
                  Ui().messages[i].type);
        EXPECT_EQ(1, Ui().messages[i].modalDepth);
      }
      EXPECT_EQ(static_cast<std::size_t>(row.dialogs), Ui().dialogs.size());
      EXPECT_EQ(baseline_, host.Audit());

      if (!row.made.empty()) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(row.made, &bytes)) << row.made;
        EXPECT_EQ(row.madeBytes, bytes);
        if (Lower(row.made).rfind(Lower(Root()) + "\\", 0) != 0) RemoveFile(row.made);
      }
      std::string source;
      EXPECT_TRUE(ReadFile(Src(), &source));
      EXPECT_EQ(kContent, source) << "the source is never touched";
      EXPECT_TRUE(CanOpenExclusively(Src())) << "the source is closed";
      for (char letter = 'a'; letter <= 'z'; ++letter) {
        EXPECT_FALSE(Exists(Root() + "\\cx" + letter + TemporaryDigits()))
            << "a temporary file is left";
      }
      EXPECT_EQ(before, Outside()) << "something outside the test folder changed";
    }
  }

  std::string Src() { return Root() + "\\Data\\a.txt"; }
  std::string Out(const std::string& name) { return Root() + "\\Out\\" + name; }

  const std::string kContent = std::string("bad input\r\n\0\xFF", 13);
  const std::string kMemberName = "tamarisk-bad-input";
  const std::string kText = "bad\r\ninput";
  InterfaceObject* scripting_ = nullptr;
  std::string baseline_;
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

TEST_F(BadInput, FileCopyArguments) {
  const std::string b = Out("b.txt");
  const std::vector<Arg> other = {I(7), kSym, kFloat, kVoid};
  std::vector<Row> rows = {
      Row("no arguments", kPlovers, {}).Gives(2, {kInvalid}),
      Row("one argument", kPlovers, {S(Src())}).Gives(1, {kNothing}).Dialogs(1),
      Row("two arguments", kPlovers, {S(Src()), S(b)}).Gives(0).Makes(b, kContent),
      Row("three arguments", kPlovers, {S(Src()), S(b), S(b)}).Gives(2, {kInvalid}),
      Row("four arguments", kPlovers, {S(Src()), S(b), I(1), kVoid}).Gives(2, {kInvalid}),
      Row("five arguments", kPlovers, {kVoid, kVoid, kVoid, kVoid, kVoid}).Gives(2, {kInvalid}),
      Row("empty source", kPlovers, {S("")}).Gives(4, {kError}),
      Row("empty source and destination", kPlovers, {S(""), S("")}).Gives(4, {kError}),
      Row("empty destination", kPlovers, {S(Src()), S("")}).Gives(1, {kNothing}).Dialogs(1),
  };
  for (const Arg& arg : other) {
    const std::string kind = KindName(arg);
    rows.push_back(Row("source: " + kind, kPlovers, {arg}).Gives(2, {kInvalid}));
    rows.push_back(Row("source: " + kind + ", with a destination", kPlovers, {arg, S(b)})
                       .Gives(2, {kInvalid}));
    rows.push_back(Row("destination: " + kind, kPlovers, {S(Src()), arg}).Gives(2, {kInvalid}));
    rows.push_back(
        Row("third argument: " + kind, kPlovers, {S(Src()), S(b), arg}).Gives(2, {kInvalid}));
  }
  Run(rows);
}

TEST_F(BadInput, FileCopyPathLengths) {
  const std::string data = Root() + "\\Data\\";
  // Folders and names within 255 bytes each, 511 bytes in all.
  const std::string folder = Sized(Root() + "\\", 254, 'd') + "\\";
  const std::string long511 =
      folder + std::string(200, 'n') + "." + std::string(511 - folder.size() - 201, 'e');
  ASSERT_EQ(511u, long511.size());
  const std::string at255 = Sized(data, 255);
  const std::string at256 = Sized(data, 256);
  std::vector<Row> rows = {
      Row("a 255-byte source", kPlovers, {S(at255), S("b.txt")})
          .With(at255)
          .Gives(0)
          .Makes(data + "b.txt", kContent),
      Row("a 256-byte source", kPlovers, {S(at256), S("b.txt")})
          .With(at256)
          .Gives(0)
          .Makes(data + "b.txt", kContent),
      Row("a 511-byte source", kPlovers, {S(long511), S("b.txt")}).Gives(3, {kNotFound}),
      // The host would cut it to 511 bytes, which names another file.
      Row("a 512-byte source", kPlovers, {S(long511 + "Z"), S("b.txt")}).Gives(2, {kInvalid}),
      Row("a 4000-byte source", kPlovers, {S(Sized(long511, 4000)), S("b.txt")})
          .Gives(2, {kInvalid}),
      Row("a 4000-byte name", kPlovers, {S(Sized(data, 4000))}).Gives(2, {kInvalid}),
      Row("a 256-byte name", kPlovers, {S(data + std::string(256, 'n'))}).Gives(2, {kInvalid}),
      Row("a 255-byte name", kPlovers, {S(data + std::string(255, 'n'))}).Gives(3, {kNotFound}),
      Row("a 256-byte folder", kPlovers, {S("C:\\" + std::string(254, 'd') + "\\a.txt")})
          .Gives(2, {kInvalid}),
      Row("a 255-byte destination", kPlovers, {S(Src()), S(Sized(Out(""), 255))})
          .Gives(0)
          .Makes(Lower(Sized(Out(""), 255)), kContent),
      Row("a 256-byte destination", kPlovers, {S(Src()), S(Sized(Out(""), 256))})
          .Gives(0)
          .Makes(Lower(Sized(Out(""), 256)), kContent),
      Row("a 511-byte destination", kPlovers, {S(Src()), S(long511)}).Gives(4, {kError}),
      Row("a 512-byte destination", kPlovers, {S(Src()), S(long511 + "Z")}).Gives(2, {kInvalid}),
      Row("a 512-byte destination whose cut names a file", kPlovers,
          {S(Src()), S(Sized(Out(""), 504) + ".txt.bak")})
          .Gives(2, {kInvalid}),
      Row("a 4000-byte destination", kPlovers, {S(Src()), S(Sized(Out(""), 4000))})
          .Gives(2, {kInvalid}),
      Row("a 4000-byte relative destination", kPlovers, {S(Src()), S(std::string(4000, 'r'))})
          .Gives(2, {kInvalid}),
      Row("a destination folder that the source's pushes past 255", kPlovers,
          {S(Src()), S(std::string(240, 'f') + "\\b.txt")})
          .Gives(2, {kInvalid}),
      // The source's folder and the given one fill 255 bytes: with the drive
      // and a 255-byte name, 512, no room for the NUL.
      Row("a destination that joins to 512 bytes", kPlovers,
          {S(Src()), S(std::string(254 - (data.size() - 2), 'f') + "\\" + std::string(255, 'n'))})
          .Gives(2, {kInvalid}),
  };
  Run(rows);
}

TEST_F(BadInput, FileCopyPathForms) {
  const std::string data = Root() + "\\Data\\";
  const std::string odd = data + "tamarisk-bad-input.txt";
  std::vector<Row> rows = {
      Row("a source folder", kPlovers, {S(data + "Folder"), S("b.txt")}).Gives(4, {kError}),
      Row("a source folder with its separator", kPlovers, {S(data + "Folder\\"), S("b.txt")})
          .Gives(4, {kError}),
      Row("a source of one backslash", kPlovers, {S("\\"), S("b.txt")}).Gives(4, {kError}),
      Row("a source of backslashes", kPlovers, {S("\\\\\\\\")}).Gives(3, {kNotFound}),
      Row("a source of slashes", kPlovers, {S("////")}).Gives(3, {kNotFound}),
      Row("a source of one dot", kPlovers, {S(".")}).Gives(4, {kError}),
      Row("a source of two dots", kPlovers, {S("..")}).Gives(4, {kError}),
      Row("a source of three dots", kPlovers, {S("...")}).Gives(4, {kError}),
      Row("a source drive alone", kPlovers, {S("C:")}).Gives(4, {kError}),
      Row("another drive alone", kPlovers, {S("D:")}).Gives(4, {kError}),
      Row("a missing drive", kPlovers, {S("Q:")}).Gives(3, {kNotFound}),
      Row("a file on a missing drive", kPlovers, {S("Q:\\a.txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Row("a colon alone", kPlovers, {S(":")}).Gives(3, {kNotFound}),
      Row("a wildcard drive", kPlovers, {S("*:")}).Gives(3, {kNotFound}),
      Row("a UNC source", kPlovers, {S("\\\\server\\share\\a.txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Row("a long-path prefix", kPlovers, {S("\\\\?\\" + Src()), S(Out("b.txt"))})
          .Gives(0)
          .Makes(Out("b.txt"), kContent),
      Row("a source with a star", kPlovers, {S(data + "*.txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Row("a source with a question mark", kPlovers, {S(data + "a?txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),

      Row("a destination of one backslash", kPlovers, {S(odd), S("\\")})
          .Gives(0)
          .Makes("C:\\tamarisk-bad-input.txt", kContent),
      Row("another drive as the destination", kPlovers, {S(odd), S("D:")})
          .Gives(0)
          .Makes("D:\\tamarisk-bad-input.txt", kContent),
      Row("a destination of two slashes is a network path", kPlovers, {S(Src()), S("//")})
          .Gives(4, {kError}),
      Row("the source itself", kPlovers, {S(Src()), S(data + "A.Txt")}).Gives(2, {kSame}),
      Row("the source through a dot folder", kPlovers, {S(Src()), S(data + ".\\a.txt")})
          .Gives(2, {kSame}),
      Row("the source through its parent", kPlovers, {S(Src()), S(data + "..\\Data\\a.txt")})
          .Gives(2, {kSame}),
      Row("the source through a doubled separator", kPlovers,
          {S(Src()), S(Root() + "\\\\Data\\a.txt")})
          .Gives(2, {kSame}),
      Row("the source with a trailing dot", kPlovers, {S(Src()), S(data + "A.TXT.")})
          .Gives(2, {kSame}),
      Row("the source with trailing blanks", kPlovers, {S(Src()), S(data + "a.txt  ")})
          .Gives(2, {kSame}),
      Row("the source through slashes", kPlovers, {S(Src()), S(Slashed(Src()))}).Gives(2, {kSame}),
      Row("a slashed absolute destination", kPlovers, {S(Src()), S(Slashed(Out("x.txt")))})
          .Gives(0)
          .Makes(Out("x.txt"), kContent),
      Row("a slashed absolute source", kPlovers, {S(Slashed(Src())), S("b.txt")})
          .Gives(0)
          .Makes(data + "b.txt", kContent),
      // A drive in front would make these the test folder's own files.
      Row("a network source", kPlovers, {S(Network(Src())), S(Out("b.txt"))}).Gives(3, {kNotFound}),
      Row("a network destination", kPlovers, {S(Src()), S(Network(Out("b.txt")))})
          .Gives(4, {kError}),
      Row("a destination of one dot", kPlovers, {S(Src()), S(".")}).Gives(2, {kInvalid}),
      Row("a destination of two dots", kPlovers, {S(Src()), S("..")}).Gives(4, {kFolder}),
      Row("a destination of three dots", kPlovers, {S(Src()), S("...")}).Gives(4, {kFolder}),
      Row("a destination ending in a dot", kPlovers, {S(Src()), S("b.")})
          .Gives(0)
          .Makes(data + "b", kContent),
      Row("a destination on a missing drive", kPlovers, {S(Src()), S("Q:")}).Gives(4, {kError}),
      Row("a file on a missing drive as destination", kPlovers, {S(Src()), S("Q:\\x\\b.txt")})
          .Gives(4, {kError}),
      Row("a UNC destination", kPlovers, {S(Src()), S("\\\\server\\share\\b.txt")})
          .Gives(4, {kError}),
      Row("a UNC destination folder", kPlovers, {S(Src()), S("\\\\server\\share\\")})
          .Gives(4, {kError}),
      Row("a destination with a star", kPlovers, {S(Src()), S("*.txt")}).Gives(4, {kError}),
      Row("a destination with a question mark", kPlovers, {S(Src()), S("b?.txt")})
          .Gives(4, {kError}),
      Row("a destination folder with a star", kPlovers, {S(Src()), S(Out("*\\"))})
          .Gives(4, {kError}),
      Row("an existing folder as destination", kPlovers, {S(Src()), S(data + "FOLDER")})
          .Gives(4, {kFolder}),
      Row("an existing file, No", kPlovers, {S(Src()), S(Out("Old.txt"))})
          .Answers({x::kIdNo})
          .Gives(1, {Question(Lower(Out("old.txt"))), kNothing}),
      // Paths in the ANSI code page of an English Windows, and of one with
      // the UTF-8 option: café.txt, 表.txt.
      Row("an existing file with an e acute, Yes (code page 1252)", kPlovers,
          {S(Src()), S(Out("Caf\xE9.txt"))})
          .InCodePage(1252)
          .With(Out("caf\xE9.txt"))
          .Answers({x::kIdYes})
          .Gives(0, {Question(u"c:\\tamarisk-test\\out\\caf\u00E9.txt")})
          .Makes(Out("caf\xE9.txt"), kContent),
      Row("an existing file with an e acute, No (code page 1252)", kPlovers,
          {S(Src()), S(Out("Caf\xE9.txt"))})
          .InCodePage(1252)
          .With(Out("caf\xE9.txt"))
          .Gives(1, {Question(u"c:\\tamarisk-test\\out\\caf\u00E9.txt"), kNothing}),
      Row("an existing file with a kanji, Yes (code page 65001)", kPlovers,
          {S(Src()), S(Out("\xE8\xA1\xA8.TXT"))})
          .InCodePage(65001)
          .With(Out("\xE8\xA1\xA8.txt"))
          .Answers({x::kIdYes})
          .Gives(0, {Question(u"c:\\tamarisk-test\\out\\\u8868.txt")})
          .Makes(Out("\xE8\xA1\xA8.txt"), kContent),
  };
  Run(rows);
}

TEST_F(BadInput, FileCopyDoubleByteCharacters) {
  const std::string data = Root() + "\\Data\\";
  const std::string hyo = "\x95\x5C";  // a character whose trail byte is a backslash
  // A source whose 511th byte is the lead byte of a character the host cuts in two.
  const std::string folder = Sized(Root() + "\\", 254, 'd') + "\\";
  const std::string cut =
      folder + std::string(200, 'n') + "." + std::string(512 - folder.size() - 201 - 2, 'e') + hyo;
  ASSERT_EQ(512u, cut.size());
  std::vector<Row> rows = {
      Row("a 255-byte name ending in a double-byte character", kPlovers,
          {S(data + std::string(253, 'n') + hyo)})
          .Gives(3, {kNotFound}),
      Row("a 256-byte name ending in a double-byte character", kPlovers,
          {S(data + std::string(254, 'n') + hyo)})
          .Gives(2, {kInvalid}),
      Row("a 512-byte source ending in the character", kPlovers, {S(cut), S("b.txt")})
          .Gives(2, {kInvalid}),
      Row("a 512-byte destination ending in the character", kPlovers, {S(Src()), S(cut)})
          .Gives(2, {kInvalid}),
      Row("a lead byte before a separator", kPlovers, {S(data + "\x95\\a.txt"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Row("a destination ending in the character", kPlovers, {S(Src()), S(Out(hyo))})
          .Gives(0)
          .Makes(Out(hyo), kContent),
      // Wine's _stat takes the trail byte for a trailing separator and finds
      // nothing, so there the copy is tried and fails.
      Row("a destination that is a folder ending in the character", kPlovers,
          {S(Src()), S(data + hyo)})
          .Gives(4, {IsRealDll() ? kError : kFolder}),
      Row("a destination folder ending in the character", kPlovers,
          {S(Src()), S(data + hyo + "\\")})
          .Gives(0)
          .Makes(data + hyo + "\\a.txt", kContent),
      Row("a missing destination folder ending in the character", kPlovers,
          {S(Src()), S(Out(hyo + "\\"))})
          .Gives(4, {kError}),
      Row("a double-byte character before a dot", kPlovers, {S(Src()), S("\x83\x41.TXT")})
          .Gives(0)
          .Makes(data + "\x83\x41.txt", kContent),
      Row("a lead byte before a dot", kPlovers, {S(Src()), S("x\x95.txt")})
          .Gives(0)
          .Makes(data + "x\x95.txt", kContent),
      // A lead byte with no trail byte, then the NUL: the text ends there.
      Row("a source ending in a lone lead byte", kPlovers, {S(data + "x\x95"), S(Out("b.txt"))})
          .Gives(3, {kNotFound}),
      Row("a destination ending in a lone lead byte", kPlovers, {S(Src()), S(Out("x\x95"))})
          .Gives(0)
          .Makes(Out("x\x95"), kContent),
      // No text of the code page, so no question can name it: not asked, kept.
      Row("an existing destination ending in a lone lead byte", kPlovers,
          {S(Src()), S(Out("x\x95"))})
          .With(Out("x\x95"))
          .Gives(5),
      Row("an export destination ending in a lone lead byte", kAvocets,
          {S("Internal"), I(1), S(Out("y\x95"))})
          .Gives(0)
          .Makes(Out("y\x95.txt"), kText),
      // The trail byte of \x82\x9F lies in the lead range; the letter after it is a letter.
      Row("one file, its letter after a character written either way", kPlovers,
          {S(data + "\x82\x9F"
                    "A.txt"),
           S(data + "\x82\x9F"
                    "a.txt")})
          .With(data + "\x82\x9F"
                       "A.txt")
          .Gives(2, {kSame}),
  };
  Run(rows);
}

TEST_F(BadInput, ADoubleByteTrailByteIsNeverLowercased) {
  Prepare();
  const std::string data = Root() + "\\Data\\";
  HostValue result = host.VoidValue();
  host.Call(scripting_, kPlovers, {host.StringValue(Src()), host.StringValue("\x83\x41X.TXT")},
            &result);
  EXPECT_EQ(0, host.IntegerOf(result));
  EXPECT_EQ("\x83\x41x.txt", NameOnDisk(data + "\x83\x41x.txt"));
  // Characters are walked from the start: a trail byte in the lead range
  // does not leave the next letter capital.
  host.Call(scripting_, kPlovers,
            {host.StringValue(Src()), host.StringValue("\x82\x9F"
                                                       "AB.TXT")},
            &result);
  EXPECT_EQ(0, host.IntegerOf(result));
  EXPECT_EQ(
      "\x82\x9F"
      "ab.txt",
      NameOnDisk(data + "\x82\x9F"
                        "ab.txt"));
}

// A destination that cannot be replaced stays as it was, and nothing else
// is left beside it: the file is replaced, never written over.
TEST_F(BadInput, DestinationsThatCannotBeReplaced) {
  for (const bool readOnly : {true, false}) {
    SCOPED_TRACE(readOnly ? "read-only" : "held open by another program");
    Prepare();
    const std::string target = Out("kept.txt");
    WriteFile(target, "kept");
    const std::vector<std::string> before = FolderListing(Out(""));
    if (readOnly) SetReadOnly(target, true);
    std::unique_ptr<ExclusiveHold> hold(readOnly ? nullptr : new ExclusiveHold(target));
    Ui().answers = {x::kIdYes};
    HostValue result = host.VoidValue();
    host.Call(scripting_, kPlovers, {host.StringValue(Src()), host.StringValue(target)}, &result);
    hold.reset();
    SetReadOnly(target, false);
    EXPECT_EQ(4, host.IntegerOf(result));
    ASSERT_EQ(2u, Ui().messages.size());
    EXPECT_EQ(Question(Lower(target)).text, Ui().messages[0].text);
    EXPECT_EQ(x::kCopyError, Ui().messages[1].text);
    EXPECT_EQ(baseline_, host.Audit());
    std::string bytes;
    ReadFile(target, &bytes);
    EXPECT_EQ("kept", bytes);
    EXPECT_EQ(before, FolderListing(Out("")));
  }
}

TEST_F(BadInput, TheLongestQuestionFitsItsBox) {
  // Only the in-memory files can hold a 511-byte path.
  if (IsRealDll()) GTEST_SKIP() << "Windows paths stop at 260 bytes";
  Prepare();
  const std::string folder = Sized(Root() + "\\", 254, 'd') + "\\";
  const std::string target =
      folder + std::string(200, 'n') + "." + std::string(511 - folder.size() - 201, 'e');
  ASSERT_EQ(511u, target.size());
  MakeDirectory(folder);
  WriteFile(target, "old");
  Ui().answers = {x::kIdNo};
  HostValue result = host.VoidValue();
  host.Call(scripting_, kPlovers, {host.StringValue(Src()), host.StringValue(target)}, &result);
  EXPECT_EQ(1, host.IntegerOf(result));
  ASSERT_EQ(2u, Ui().messages.size());
  EXPECT_EQ(Question(Lower(target)).text, Ui().messages[0].text);
}

TEST_F(BadInput, ArgumentCountsBeyondTheArguments) {
  // The count alone decides; an array the count does not cover is never read.
  for (const int32 selector : {kPlovers, kAvocets}) {
    for (const int32 count : {-1, INT_MIN, 6, INT_MAX}) {
      SCOPED_TRACE(std::to_string(selector) + " with " + std::to_string(count));
      Prepare();
      CallRecord call = {};
      call.selector = selector;
      call.result = host.VoidValue();
      call.argCount = count;
      call.args = nullptr;
      EXPECT_EQ(kOk, static_cast<const ScriptingInterfaceOps*>(scripting_->ops)
                         ->DispatchCall(scripting_, &call));
      EXPECT_EQ(2, host.IntegerOf(call.result));
      ASSERT_EQ(1u, Ui().messages.size());
      EXPECT_EQ(kInvalid.text, Ui().messages[0].text);
      EXPECT_EQ(kInvalid.caption, Ui().messages[0].caption);
      EXPECT_EQ(baseline_, host.Audit());
    }
  }
}

TEST_F(BadInput, ExportArguments) {
  const std::string doc = Out("x.doc");
  const std::string txt = Out("x.txt");
  const std::vector<Arg> other = {kSym, kFloat, kVoid};
  std::vector<Row> rows = {
      Row("no arguments", kAvocets, {}).Gives(2, {kInvalid}),
      Row("one argument", kAvocets, {S("Internal")}).Gives(2, {kInvalid}),
      Row("two arguments", kAvocets, {S("Internal"), I(1)}).Gives(1, {kNothing}).Dialogs(1),
      Row("three arguments", kAvocets, {S("Internal"), I(1), S(doc)}).Gives(0).Makes(txt, kText),
      Row("four arguments", kAvocets, {S("Internal"), I(1), S(doc), S(doc)}).Gives(2, {kInvalid}),
      Row("five arguments", kAvocets, {kVoid, kVoid, kVoid, kVoid, kVoid}).Gives(2, {kInvalid}),
      Row("cast and member by number", kAvocets, {I(1), I(1), S(doc)}).Gives(0).Makes(txt, kText),
      Row("member by name", kAvocets, {I(1), S(kMemberName), S(doc)}).Gives(0).Makes(txt, kText),
      Row("an empty cast name", kAvocets, {S(""), I(1), S(doc)}).Gives(10, {kNoCast}),
      Row("an empty member name", kAvocets, {S("Internal"), S(""), S(doc)}).Gives(11, {kNoMember}),
      Row("an empty destination", kAvocets, {I(1), I(1), S("")}).Gives(1, {kNothing}).Dialogs(1),
      // A name longer than 511 bytes is refused: cut, it would name another.
      Row("a 4000-byte cast name", kAvocets, {S(std::string(4000, 'c')), I(1)})
          .Gives(2, {kInvalidMember}),
      Row("a 4000-byte member name", kAvocets, {I(1), S(std::string(4000, 'm'))})
          .Gives(2, {kInvalidMember}),
      Row("a 512-byte cast name ending in a character", kAvocets,
          {S(std::string(510, 'c') + "\x95\x5C"), I(1)})
          .Gives(2, {kInvalidMember}),
      Row("a member name of lead bytes", kAvocets, {I(1), S(std::string(600, '\x95'))})
          .Gives(2, {kInvalidMember}),
      Row("a 511-byte member name", kAvocets, {I(1), S(std::string(511, 'm')), S(doc)})
          .Gives(0)
          .Makes(txt, kText),
      Row("a 512-byte name whose first 511 bytes name a member", kAvocets,
          {I(1), S(std::string(512, 'm')), S(doc)})
          .Gives(2, {kInvalidMember}),
      Row("a 511-byte cast name", kAvocets, {S(std::string(511, 'c')), I(1), S(doc)})
          .Gives(10, {kNoCast}),
  };
  for (const int32 n : {0, -1, INT_MIN, INT_MAX, 2}) {
    rows.push_back(Row("cast number " + std::to_string(n), kAvocets, {I(n), I(1), S(doc)})
                       .Gives(10, {kNoCast}));
    if (n == 2) continue;
    rows.push_back(Row("member number " + std::to_string(n), kAvocets, {I(1), I(n), S(doc)})
                       .Gives(11, {kNoMember}));
  }
  for (const Arg& arg : other) {
    const std::string kind = KindName(arg);
    rows.push_back(Row("cast: " + kind, kAvocets, {arg, I(1), S(doc)}).Gives(2, {kInvalidMember}));
    rows.push_back(
        Row("member: " + kind, kAvocets, {I(1), arg, S(doc)}).Gives(2, {kInvalidMember}));
    rows.push_back(
        Row("fourth argument: " + kind, kAvocets, {I(1), I(1), S(doc), arg}).Gives(2, {kInvalid}));
  }
  for (const Arg& arg : {I(7), kSym, kFloat, kVoid}) {
    // Not a string: no destination, so the user is asked.
    rows.push_back(Row("destination: " + KindName(arg), kAvocets, {I(1), I(1), arg})
                       .Gives(1, {kNothing})
                       .Dialogs(1));
  }
  Run(rows);
}

TEST_F(BadInput, ExportDestinations) {
  const std::string folder = Sized(Root() + "\\", 254, 'd') + "\\";
  const std::string long511 =
      folder + std::string(200, 'n') + "." + std::string(511 - folder.size() - 201, 'e');
  ASSERT_EQ(511u, long511.size());
  std::vector<Row> rows = {
      Row("a relative name", kAvocets, {I(1), I(1), S("rel.doc")})
          .Gives(0)
          .Makes(Root() + "\\rel.txt", kText),
      Row("one backslash", kAvocets, {I(1), I(1), S("\\")})
          .Gives(0)
          .Makes("C:\\" + kMemberName + ".txt", kText),
      Row("one dot", kAvocets, {I(1), I(1), S(".")}).Gives(2, {kInvalid}),
      Row("a missing drive", kAvocets, {I(1), I(1), S("Q:\\x.doc")}).Gives(4, {kError}),
      Row("a UNC path", kAvocets, {I(1), I(1), S("\\\\server\\share\\x.doc")}).Gives(4, {kError}),
      Row("a star", kAvocets, {I(1), I(1), S("*.doc")}).Gives(4, {kError}),
      Row("a question mark", kAvocets, {I(1), I(1), S(Out("?"))}).Gives(4, {kError}),
      Row("511 bytes", kAvocets, {I(1), I(1), S(long511)}).Gives(4, {kError}),
      Row("4000 bytes", kAvocets, {I(1), I(1), S(Sized(Out(""), 4000))}).Gives(2, {kInvalid}),
      Row("an existing file, No", kAvocets, {I(1), I(1), S(Out("OLD.doc"))})
          .Answers({x::kIdNo})
          .Gives(1, {Question(Lower(Out("old.txt"))), kNothing}),
  };
  Run(rows);
}

TEST_F(BadInput, AnOverlongMemberNameIsOfferedCut) {
  Prepare();
  host.casts[0].members[1].name = std::string(4000, 'n');
  HostValue result = host.VoidValue();
  host.Call(scripting_, kAvocets, {host.IntegerValue(1), host.IntegerValue(1)}, &result);
  EXPECT_EQ(1, host.IntegerOf(result));
  ASSERT_EQ(1u, Ui().dialogs.size());
  EXPECT_EQ(std::string(255, 'n') + ".txt", Ui().dialogs[0].offeredName);
  EXPECT_EQ(baseline_, host.Audit());
}

// ---- bitmaps and pictures ------------------------------------------------------

struct BitmapRow {
  const char* what;
  DibShape header;  // the block is blockBytes long, whatever the shape says
  std::size_t blockBytes;
  // 0: the block's first dibBytes written after a file header whose pixel
  // offset is given; 12: the conversion fails.
  int32 result;
  uint32 dibBytes;
  uint32 pixelOffset;
};

class BadMedia : public BadInput {
 protected:
  int32 ExportMember(int32 member, const std::string& destination) {
    return CallAvocets(1, member, destination);
  }
};

constexpr uint32 kMin = 0x80000000u;
constexpr uint32 kMax = 0x7FFFFFFFu;
constexpr uint32 kAll = 0xFFFFFFFFu;

TEST_F(BadMedia, MalformedBitmapHeaders) {
  // 4 x 2 pixels at 24 bits: rows of 12 bytes.
  const DibShape ok = {4, 2, 24, 0, 0, 0, 0, 0};
  auto with = [&ok](auto change) {
    DibShape h = ok;
    change(h);
    return h;
  };
  const std::vector<BitmapRow> rows = {
      {"a sound header", ok, 64, 0, 64, 54},
      {"header size 0", with([](DibShape& h) { h.headerSize = 0; }), 64, 12, 0, 0},
      {"header size 39", with([](DibShape& h) { h.headerSize = 39; }), 64, 12, 0, 0},
      {"header size 41", with([](DibShape& h) { h.headerSize = 41; }), 64, 12, 0, 0},
      {"header size all ones", with([](DibShape& h) { h.headerSize = kAll; }), 64, 12, 0, 0},
      {"width 0", with([](DibShape& h) { h.width = 0; }), 64, 0, 40, 54},
      {"width -1", with([](DibShape& h) { h.width = kAll; }), 64, 12, 0, 0},
      {"width INT_MIN", with([](DibShape& h) { h.width = kMin; }), 64, 12, 0, 0},
      {"width INT_MAX", with([](DibShape& h) { h.width = kMax; }), 64, 12, 0, 0},
      {"height 0", with([](DibShape& h) { h.height = 0; }), 64, 0, 40, 54},
      {"height -1: one top-down row", with([](DibShape& h) { h.height = kAll; }), 64, 0, 52, 54},
      {"height INT_MIN", with([](DibShape& h) { h.height = kMin; }), 64, 12, 0, 0},
      {"height INT_MAX", with([](DibShape& h) { h.height = kMax; }), 64, 12, 0, 0},
      {"width and height INT_MAX", with([](DibShape& h) { h.width = h.height = kMax; }), 64, 12, 0,
       0},
      {"planes all ones", with([](DibShape& h) { h.planes = 0xFFFF; }), 64, 0, 64, 54},
      {"0 bits", with([](DibShape& h) { h.bits = 0; }), 64, 0, 40, 54},
      {"1 bit: two colours", with([](DibShape& h) { h.bits = 1; }), 64, 0, 56, 62},
      {"2 bits: no table", with([](DibShape& h) { h.bits = 2; }), 64, 0, 48, 54},
      {"3 bits: no table", with([](DibShape& h) { h.bits = 3; }), 64, 0, 48, 54},
      {"64 bits", with([](DibShape& h) { h.bits = 64; }), 104, 0, 104, 54},
      {"64 bits, a block too short", with([](DibShape& h) { h.bits = 64; }), 103, 12, 0, 0},
      {"65535 bits", with([](DibShape& h) { h.bits = 0xFFFF; }), 40 + 65536, 0, 40 + 65536, 54},
      {"65535 bits, a block too short", with([](DibShape& h) { h.bits = 0xFFFF; }), 40 + 65535, 12,
       0, 0},
      {"65535 bits, INT_MAX wide", with([](DibShape& h) {
         h.bits = 0xFFFF;
         h.width = kMax;
       }),
       64, 12, 0, 0},
      {"RLE8, stored size", with([](DibShape& h) {
         h.bits = 8;
         h.compression = 1;
         h.imageSizeField = 10;
       }),
       1100, 0, 40 + 1024 + 10, 54 + 1024},
      {"RLE8, size 0", with([](DibShape& h) {
         h.bits = 8;
         h.compression = 1;
       }),
       1100, 0, 40 + 1024, 54 + 1024},
      {"RLE8, size all ones", with([](DibShape& h) {
         h.bits = 8;
         h.compression = 1;
         h.imageSizeField = kAll;
       }),
       1100, 12, 0, 0},
      {"RLE4, a block too short", with([](DibShape& h) {
         h.bits = 4;
         h.compression = 2;
         h.imageSizeField = 30;
       }),
       133, 12, 0, 0},
      {"RLE4, stored size", with([](DibShape& h) {
         h.bits = 4;
         h.compression = 2;
         h.imageSizeField = 30;
       }),
       134, 0, 134, 118},
      {"compression 3", with([](DibShape& h) { h.compression = 3; }), 64, 0, 64, 54},
      {"compression 4", with([](DibShape& h) { h.compression = 4; }), 64, 0, 64, 54},
      {"compression 5", with([](DibShape& h) { h.compression = 5; }), 64, 0, 64, 54},
      {"compression 6", with([](DibShape& h) { h.compression = 6; }), 64, 0, 64, 54},
      {"compression all ones", with([](DibShape& h) { h.compression = kAll; }), 64, 0, 64, 54},
      {"image size all ones, uncompressed", with([](DibShape& h) { h.imageSizeField = kAll; }), 64,
       0, 64, 54},
      {"colours used 1", with([](DibShape& h) { h.colorsUsed = 1; }), 68, 0, 68, 58},
      {"colours used all ones", with([](DibShape& h) { h.colorsUsed = kAll; }), 64, 12, 0, 0},
      {"colours used all ones, room for 65532 bytes",
       with([](DibShape& h) { h.colorsUsed = kAll; }), 40 + 65532 + 24, 0, 40 + 65532 + 24,
       54 + 65532},
      {"colours used 16384: a table of 0 bytes", with([](DibShape& h) { h.colorsUsed = 16384; }),
       64, 0, 64, 54},
      {"colours used 16385: a table of 4 bytes", with([](DibShape& h) { h.colorsUsed = 16385; }),
       68, 0, 68, 58},
      {"a block of 1 byte", ok, 1, 12, 0, 0},
      {"a block of 4 bytes", ok, 4, 12, 0, 0},
      {"a block of 39 bytes", ok, 39, 12, 0, 0},
      {"a block of just the header", ok, 40, 12, 0, 0},
      {"a block one byte short", ok, 63, 12, 0, 0},
      {"every field all ones",
       {-1, -1, 0xFFFF, kAll, kAll, kAll, 0, 0, kAll, 0xFFFF},
       64,
       12,
       0,
       0},
      {"every field 40",
       {40, 40, 40, 40, 40, 40, 0, 0, 40, 40},
       40 + 160 + 200 * 40,
       0,
       40 + 160 + 200 * 40,
       54 + 160},
  };
  int n = 0;
  for (const BitmapRow& row : rows) {
    SCOPED_TRACE(row.what);
    Prepare();
    const std::vector<std::string> before = Outside();
    sim::SimMember bitmap;
    bitmap.name = "Bitmap";
    bitmap.type = "bitmap";
    bitmap.dib = PackedDib(row.header, row.blockBytes);
    host.casts[0].members[2] = bitmap;
    const std::string target = Out("b" + std::to_string(++n) + ".bmp");
    EXPECT_EQ(row.result, ExportMember(2, target));
    EXPECT_EQ(baseline_, host.Audit());
    std::string file;
    if (row.result == 0) {
      EXPECT_TRUE(Ui().messages.empty());
      ASSERT_TRUE(ReadFile(target, &file));
      std::vector<uint8> expected(14);
      expected[0] = 'B';
      expected[1] = 'M';
      Put(expected, 2, row.dibBytes + 14, 4);
      Put(expected, 10, row.pixelOffset, 4);
      expected.insert(expected.end(), bitmap.dib.begin(), bitmap.dib.begin() + row.dibBytes);
      const bool rle = row.header.compression == 1 || row.header.compression == 2;
      if (!rle) Put(expected, 14 + 20, row.dibBytes - 40 - (row.pixelOffset - 54), 4);
      EXPECT_EQ(std::string(expected.begin(), expected.end()), file);
    } else {
      ASSERT_EQ(1u, Ui().messages.size());
      EXPECT_EQ(kBitmap.text, Ui().messages[0].text);
      EXPECT_EQ(kBitmap.caption, Ui().messages[0].caption);
      EXPECT_FALSE(Exists(target));
    }
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      EXPECT_FALSE(Exists(Root() + "\\cx" + letter + TemporaryDigits()));
    }
    EXPECT_EQ(before, Outside());
  }
}

TEST_F(BadMedia, ShortPictureHandles) {
  struct Case {
    const char* what;
    int32 size;
    std::size_t handleBytes;
    int32 result;
    bool guardPageAfter = false;  // else a no-access page follows the handle
  };
  const std::vector<Case> cases = {
      {"1 byte", 64, 1, 4},
      {"2 bytes", 64, 2, 4},
      {"37 bytes", 64, 37, 4},
      {"37 bytes, size 100", 100, 37, 4},
      {"38 bytes, size 65", 65, 38, 4},
      {"38 bytes, size 64", 64, 38, 0},
      {"1038 bytes, size to their last byte", 1064, 1038, 0},
      {"1038 bytes, size one byte past them", 1065, 1038, 4},
      {"1038 bytes before a guard page, size to their last byte", 1064, 1038, 0, true},
      {"1038 bytes before a guard page, size one byte past them", 1065, 1038, 4, true},
      {"size INT_MAX", INT_MAX, 1000, 4},
      {"size INT_MIN", INT_MIN, 1000, 4},
      {"size -1", -1, 1000, 4},
      {"size 0", 0, 1000, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare();
    sim::SimMember picture;
    picture.name = "Picture";
    picture.type = "picture";
    picture.size = c.size;
    picture.composite.assign(c.handleBytes, 0x5A);
    picture.compositeBeforeGuardPage = c.guardPageAfter;
    host.casts[0].members[3] = picture;
    const std::string target = Out("p.pic");
    EXPECT_EQ(c.result, ExportMember(3, target));
    EXPECT_EQ(baseline_, host.Audit());
    if (c.result == 0) {
      EXPECT_TRUE(Ui().messages.empty());
      std::string file;
      EXPECT_TRUE(ReadFile(target, &file));
      EXPECT_EQ(std::string(512, '\0') + std::string(c.handleBytes - 38, '\x5A'), file);
    } else {
      ASSERT_EQ(1u, Ui().messages.size());
      EXPECT_EQ(kError.text, Ui().messages[0].text);
      EXPECT_EQ(kError.caption, Ui().messages[0].caption);
      EXPECT_FALSE(Exists(target));
    }
  }
}

}  // namespace
}  // namespace test
}  // namespace tamarisk
