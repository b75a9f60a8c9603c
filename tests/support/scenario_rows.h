// A scenario as one row of a table: a call of a handler and everything that
// must follow from it. Each row starts from the same files, and ends with its
// result, every box in order and inside its bracket, the dialogs, the file it
// makes, the host balanced, the source untouched and closed, and nothing else
// changed, in the test folder or outside it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/expected_texts.h"
#include "support/host_fixture.h"

namespace tamarisk {
namespace test {

const Box kInvalid = {expected::kInvalidArguments};
const Box kInvalidMember = {expected::kInvalidArguments, expected::kMemberCaption};
const Box kNothing = {expected::kNothingDone};
const Box kNotFound = {expected::kFileNotFound};
const Box kError = {expected::kCopyError};
const Box kSame = {expected::kSameAsSource};
const Box kFolder = {expected::kDirectoryExists};
const Box kUnsupported = {expected::kUnsupportedMedia};
const Box kNoCast = {expected::kNoSuchCast, expected::kMemberCaption};
const Box kNoMember = {expected::kNoSuchMember, expected::kMemberCaption};
const Box kBitmap = {expected::kBitmapFailed, expected::kMemberCaption};

// The overwrite question naming a path, as the module writes it.
inline Box Question(const std::string& path) {
  return {path + "\n" + expected::kOverwriteQuestion, expected::kOverwriteCaption};
}
// The question naming a path as the user reads it, whatever the code page.
inline Box Question(const std::u16string& path) {
  return {Cp932Of(path) + "\n" + expected::kOverwriteQuestion, expected::kOverwriteCaption, path};
}

// An argument of a call, made into a host value only when the row runs.
enum class Kind { kString, kInteger, kSymbol, kFloat, kVoid };

struct Arg {
  Kind kind;
  std::string text;
  int32 n;
  std::string kindName;
};

inline Arg S(const std::string& text) { return {Kind::kString, text, 0, "a string"}; }
inline Arg I(int32 n) { return {Kind::kInteger, "", n, "an integer"}; }
const Arg kSym = {Kind::kSymbol, "sym", 0, "a symbol"};
const Arg kFloat = {Kind::kFloat, "", 0, "a float"};
const Arg kVoid = {Kind::kVoid, "", 0, "void"};

// One call and everything that must follow from it.
struct Row {
  Row(std::string what_, int32 selector_, std::vector<Arg> args_)
      : what(std::move(what_)), selector(selector_), args(std::move(args_)) {}
  Row& Gives(int32 result_, std::vector<Box> boxes_ = {}) {
    result = result_;
    boxes = std::move(boxes_);
    return *this;
  }
  Row& Dialogs(std::size_t n) {
    dialogs = n;
    return *this;
  }
  // One dialog, which offers this name.
  Row& Offers(const std::string& name) {
    dialogs = 1;
    offered = name;
    return *this;
  }
  // The call succeeds and writes this file; outside the test folder it is
  // removed again.
  Row& Makes(const std::string& path, const std::string& bytes) {
    result = 0;
    made = path;
    madeBytes = bytes;
    return *this;
  }
  // ... stored under the last part of its path as written here.
  Row& MakesNamed(const std::string& path, const std::string& bytes) {
    named = true;
    return Makes(path, bytes);
  }
  Row& Answers(std::vector<int> answers_) {
    answers = std::move(answers_);
    return *this;
  }
  // The user's answers to as many dialogs.
  Row& Chooses(std::vector<DialogChoice> choices_) {
    dialogs = choices_.size();
    choices = std::move(choices_);
    return *this;
  }
  // A file that exists before the call, holding "old"; ending in a
  // backslash, a folder.
  Row& With(const std::string& path) {
    files.push_back(path);
    return *this;
  }
  // A file that another program holds open without sharing during the call.
  Row& Holding(const std::string& path) {
    held = path;
    return *this;
  }
  // A file that is read-only during the call.
  Row& ReadOnly(const std::string& path) {
    readOnly = path;
    return *this;
  }
  // The member the movie holds at this number of this cast during the call.
  Row& Member(int32 cast, int32 number, sim::SimMember member) {
    members.push_back({cast, number, std::move(member)});
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
  std::vector<Box> boxes;
  std::size_t dialogs = 0;
  std::string offered;
  std::string made;
  std::string madeBytes;
  bool named = false;
  std::vector<int> answers;
  std::vector<DialogChoice> choices;
  std::vector<std::string> files;
  std::string held;
  std::string readOnly;
  struct Placed {
    int32 cast;
    int32 number;
    sim::SimMember member;
  };
  std::vector<Placed> members;
  uint32 codePage = 0;
};

// A call of Plovers, and one of Avocets.
inline Row Copy(std::string what, std::vector<Arg> args) {
  return Row(std::move(what), kPlovers, std::move(args));
}
inline Row Export(std::string what, std::vector<Arg> args) {
  return Row(std::move(what), kAvocets, std::move(args));
}

// The folder preset with a source in Data, and one scripting instance; each
// row of Run starts again from these files.
class RowTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    Stage();
    scripting_ = NewScripting();
    baseline_ = host.Audit();  // the instance's own references
  }

  // The files every row starts from.
  virtual void Stage() {
    MakeStage();
    WriteFile(Src(), kContent);
    WriteFile(Out("old.txt"), "old");
  }

  // The files of a fresh row, and no box or dialog seen yet.
  void Restage() {
    ResetFiles();
    Stage();
    Ui().Reset(&host);
  }

  void Run(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      const AnsiCodePageScope codePage(row.codePage);
      if (!codePage.available()) continue;
      Restage();
      Place(row);
      const std::vector<std::string> outside = Outside();
      const std::vector<std::string> inside = Tree(Root());
      Ui().answers.assign(row.answers.begin(), row.answers.end());
      Ui().choices.assign(row.choices.begin(), row.choices.end());
      std::vector<HostValue> args;
      for (const Arg& arg : row.args) args.push_back(Value(arg));
      std::unique_ptr<ExclusiveHold> hold(row.held.empty() ? nullptr : new ExclusiveHold(row.held));
      if (!row.readOnly.empty()) SetReadOnly(row.readOnly, true);
      EXPECT_EQ(row.result, CallHandler(row.selector, args));
      hold.reset();
      if (!row.readOnly.empty()) SetReadOnly(row.readOnly, false);

      EXPECT_TRUE(Boxes(row.boxes));
      EXPECT_EQ(row.dialogs, Ui().dialogs.size());
      if (!row.offered.empty() && !Ui().dialogs.empty()) {
        EXPECT_EQ(row.offered, Ui().dialogs[0].offeredName);
      }
      EXPECT_EQ(baseline_, host.Audit());
      const std::string stored = row.made.empty() ? "" : "\\" + NameOnDisk(row.made);
      if (!row.made.empty()) {
        EXPECT_EQ(row.madeBytes, Content(row.made)) << row.made;
        const std::size_t end = row.made.size() - std::min(stored.size(), row.made.size());
        if (row.named) {
          EXPECT_EQ(stored, row.made.substr(end)) << "stored under another name";
        }
        if (!Inside(row.made)) RemoveFile(row.made);
      }
      EXPECT_EQ(kContent, Content(Src())) << "the source is never touched";
      EXPECT_TRUE(CanOpenExclusively(Src())) << "the source is closed";
      for (const std::string& file : row.files) {
        EXPECT_TRUE(file.back() == '\\' || CanOpenExclusively(file)) << file << " is left open";
      }
      EXPECT_TRUE(NoTemporaryFiles());
      EXPECT_EQ(outside, Outside()) << "something outside the test folder changed";
      EXPECT_EQ(Without(inside, row.made, stored), Without(Tree(Root()), row.made, stored))
          << "something else in the test folder changed";
    }
  }

  std::string Src() { return Data("a.txt"); }
  // The arguments of a copy of the source to this destination.
  std::vector<Arg> To(const std::string& destination) { return {S(Src()), S(destination)}; }
  std::string Data(const std::string& name) { return Root() + "\\Data\\" + name; }
  std::string Out(const std::string& name) { return Root() + "\\Out\\" + name; }

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

  // The drives' top folders but the test folder.
  std::vector<std::string> Outside() {
    std::vector<std::string> listing = FolderListing("C:\\");
    for (auto it = listing.begin(); it != listing.end();) {
      it = Lower(*it) == "tamarisk-test\\" ? listing.erase(it) : it + 1;
    }
    for (const std::string& entry : FolderListing("D:\\")) listing.push_back("D:" + entry);
    return listing;
  }

  const std::string kContent = std::string("line 1\r\nbinary \0\x1A\xFF end", 22);
  InterfaceObject* scripting_ = nullptr;
  std::string baseline_;

 private:
  // The files and members a row stands on.
  void Place(const Row& row) {
    for (const std::string& file : row.files) {
      if (file.back() == '\\') {
        MakeDirectory(file.substr(0, file.size() - 1));
      } else {
        WriteFile(file, "old");
      }
    }
    for (const Row::Placed& placed : row.members) {
      host.casts[placed.cast - 1].members[placed.number] = placed.member;
    }
  }

  bool Inside(const std::string& path) { return Lower(path).rfind(Lower(Root()) + "\\", 0) == 0; }

  // A listing of the test folder without the lines of the file a row makes,
  // by its name as written or as stored ("\\name"): Wine stores a lone lead
  // byte otherwise.
  std::vector<std::string> Without(std::vector<std::string> tree, const std::string& made,
                                   const std::string& stored) {
    if (made.empty() || !Inside(made)) return tree;
    const std::string path = made.substr(Root().size() + 1);
    const std::string written = Lower(path) + " ";
    const std::string asStored = Lower(path.substr(0, path.rfind('\\')) + stored) + " ";
    const auto isMade = [&](const std::string& line) {
      return Lower(line).rfind(written, 0) == 0 || Lower(line).rfind(asStored, 0) == 0;
    };
    tree.erase(std::remove_if(tree.begin(), tree.end(), isMade), tree.end());
    return tree;
  }
};

}  // namespace test
}  // namespace tamarisk
