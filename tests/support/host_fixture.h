// A test with a fresh module, a fresh simulated host, an empty test folder
// and a scripted user. It must end balanced: every reference, value, media
// record and modal bracket the module took is given back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_ids.h"
#include "simhost/sim_host.h"
#include "support/expected_texts.h"
#include "support/module_api.h"
#include "support/test_env.h"

namespace tamarisk {
namespace test {

// The Lingo message numbers of the two handlers.
constexpr int32 kPlovers = 1;
constexpr int32 kAvocets = 2;

// A path with its ASCII capitals lowered, as the module creates it.
inline std::string Lower(std::string path) {
  for (char& c : path) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return path;
}

// A file's bytes, or "<missing>".
inline std::string Content(const std::string& path) {
  std::string bytes;
  return ReadFile(path, &bytes) ? bytes : std::string("<missing>");
}

// A member of the simulated movie, with its text for the text kinds.
inline sim::SimMember MakeMember(const std::string& name, const std::string& type,
                                 const std::string& text = "") {
  sim::SimMember member;
  member.name = name;
  member.type = type;
  member.text = text;
  return member;
}
// A bitmap member, its image this packed DIB.
inline sim::SimMember MakeBitmap(const std::vector<uint8>& dib, const std::string& name = "Logo") {
  sim::SimMember bitmap = MakeMember(name, "bitmap");
  bitmap.dib = dib;
  return bitmap;
}
// A picture member: its "size" property and the bytes of its composite handle.
inline sim::SimMember MakePicture(int32 size, const std::vector<uint8>& handle) {
  sim::SimMember picture = MakeMember("Pict", "picture");
  picture.size = size;
  picture.composite = handle;
  return picture;
}

// A box as a test expects it: text and caption in CP932 and, where CP932
// lacks a character of the path the text begins with, that path.
struct Box {
  std::string text;
  std::string caption = expected::kCopyFailedCaption;
  std::u16string widePath = u"";
  // The overwrite question asks Yes or No; every other box has OK alone.
  uint32 type() const { return caption == expected::kOverwriteCaption ? 0x34u : 0x30u; }
};

// No temporary export file of any letter is left in the current folder.
inline ::testing::AssertionResult NoTemporaryFiles() {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::string name = Root() + "\\cx" + letter + TemporaryDigits();
    if (Exists(name)) return ::testing::AssertionFailure() << name << " is left";
  }
  return ::testing::AssertionSuccess();
}

// Every entry under a folder, as FolderListing gives it, by its path from there.
inline std::vector<std::string> Tree(const std::string& folder, const std::string& under = "") {
  std::vector<std::string> tree;
  for (const std::string& entry : FolderListing(folder + "\\" + under)) {
    tree.push_back(under + entry);
    if (entry.back() != '\\') continue;
    const std::vector<std::string> inner = Tree(folder, under + entry);
    tree.insert(tree.end(), inner.begin(), inner.end());
  }
  return tree;
}

class HostTest : public ::testing::Test {
 protected:
  HostTest() : host(TheModule()) {}

  void SetUp() override {
    FreshModule();
    InstallResponders();
    Ui().Reset(&host);
    ResetFiles();
  }

  void TearDown() override {
    ReleaseAll();
    EXPECT_EQ("", host.Audit());
    EXPECT_EQ(kOk, TheModule().canUnloadNow()) << "interface objects still alive";
  }

  // The folders most scenarios stand on: Movies (the base path's, whose
  // movie is demo.dir), Data for sources and Out for destinations.
  void MakeStage() {
    for (const char* folder : {"\\Movies", "\\Data", "\\Out"}) MakeDirectory(Root() + folder);
    host.basePath = Root() + "\\Movies\\demo.dir";
  }

  // A scripting instance and its interface, released by TearDown.
  InterfaceObject* NewScripting(Status* createStatus = nullptr) {
    Status status = kOk;
    sim::SimInstance* instance = host.NewInstance(kScriptingClassId, &status);
    if (createStatus != nullptr) *createStatus = status;
    InterfaceObject* object = nullptr;
    EXPECT_EQ(kOk, host.GetInterface(instance, kScriptingInterfaceId, &object));
    objects_.push_back(object);
    return object;
  }

  // A Lingo call of Plovers or Avocets on the first scripting instance, its
  // arguments strings, integers or host values as written: the integer it
  // gives, checked to be one.
  template <class... Args>
  int32 CallPlovers(const Args&... args) {
    return CallHandler(kPlovers, {Argument(args)...});
  }
  template <class... Args>
  int32 CallAvocets(const Args&... args) {
    return CallHandler(kAvocets, {Argument(args)...});
  }
  // CallHandler may name another instance to call.
  int32 CallHandler(int32 selector, const std::vector<HostValue>& args,
                    InterfaceObject* scripting = nullptr) {
    HostValue result = host.VoidValue();
    EXPECT_EQ(kOk, host.Call(scripting != nullptr ? scripting : objects_.front(), selector, args,
                             &result));
    EXPECT_EQ(sim::ValueKind::kInteger, host.KindOf(result));
    return host.IntegerOf(result);
  }
  HostValue Argument(const std::string& text) { return host.StringValue(text); }
  HostValue Argument(const char* text) { return host.StringValue(text); }
  HostValue Argument(int32 number) { return host.IntegerValue(number); }
  HostValue Argument(const HostValue& value) { return value; }

  void ReleaseAll() {
    for (InterfaceObject* object : objects_) {
      static_cast<const ScriptingInterfaceOps*>(object->ops)->Release(object);
    }
    objects_.clear();
    const std::vector<sim::SimInstance*> instances = host.Instances();
    for (auto it = instances.rbegin(); it != instances.rend(); ++it) host.DeleteInstance(*it);
  }

  // Exactly these boxes, in this order, each with its text, caption and
  // type, owned by the host window inside a modal bracket, with no movie
  // reference held. Checked as EXPECT_TRUE(Boxes(...)), so that a failure
  // names the test's line.
  ::testing::AssertionResult Boxes(const std::vector<Box>& boxes) {
    if (Ui().messages.size() != boxes.size()) {
      return ::testing::AssertionFailure()
             << Ui().messages.size() << " boxes, not " << boxes.size();
    }
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      ::testing::AssertionResult shown = Shown(i, boxes[i]);
      if (!shown) return shown;
    }
    return ::testing::AssertionSuccess();
  }
  // Exactly one box, shown as Boxes requires.
  ::testing::AssertionResult OneBox(const std::string& text,
                                    const std::string& caption = expected::kCopyFailedCaption) {
    return Boxes({Box{text, caption}});
  }

  sim::SimHost host;

 private:
  // The i-th box shown, as Boxes requires it.
  ::testing::AssertionResult Shown(std::size_t i, const Box& box) {
    const MessageSeen& seen = Ui().messages[i];
    if (seen.text != box.text || seen.caption != box.caption || seen.type != box.type()) {
      return ::testing::AssertionFailure() << "box " << i << ": \"" << seen.text << "\" / \""
                                           << seen.caption << "\" / " << seen.type;
    }
    const std::u16string& path = box.widePath;
    if (!path.empty() && seen.wideText.compare(0, path.size() + 1, path + u"\n") != 0) {
      return ::testing::AssertionFailure() << "box " << i << " names another path";
    }
    if (seen.owner != host.window) return ::testing::AssertionFailure() << "owned otherwise";
    if (seen.modalDepth != 1) {
      return ::testing::AssertionFailure()
             << "not inside one BeginModal/EndModal: " << seen.modalDepth;
    }
    if (seen.liveMovieObjects != 0) {
      return ::testing::AssertionFailure() << "references held while it showed";
    }
    return ::testing::AssertionSuccess();
  }

  std::vector<InterfaceObject*> objects_;
};

}  // namespace test
}  // namespace tamarisk
