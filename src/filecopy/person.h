// The person at the host, the one way the module asks them anything: the
// overwrite question, the save dialog (asked again after a name that cannot
// be used), and a copy they watch and may cancel. The host's person asks
// each inside the host's modal bracket; tests answer from a script.
#pragma once

#include "base/path.h"
#include "base/text.h"
#include "copyengine/copy_engine.h"
#include "host/host_abi.h"
#include "platform/platform.h"

namespace tamarisk {

// What the save dialog offers.
struct DialogOffer {
  const char* name;              // the file name offered
  const char* defaultExtension;  // added to a name typed without one; may be null
  const char* filter;            // "desc | pattern ||"
  const char* folder;            // where it opens
};

class Person {
 public:
  enum class Reply { kYes, kNo, kNoAnswer };  // kNoAnswer: the question could not be shown

  virtual Reply AskToOverwrite(const char* path) = 0;
  // True with the full path chosen, which the ANSI code page holds exactly;
  // false when the person cancelled or the dialog failed.
  virtual bool ChooseDestination(const DialogOffer& offer, Path* chosen) = 0;
  // The person watches a copy until it has ended: a long one shows its
  // progress, named shownName, and may be cancelled until it commits. False
  // when the person stopped watching a cancelled copy that had not ended
  // (a read that hangs), which then removes what it made on its own.
  virtual bool Watch(CopyJob* job, const char* shownName) = 0;
  // Tells the person how a call ended: text under caption, after path (a
  // file the text speaks of) when there is one.
  virtual void Tell(const char* text, const char* caption, const char* path) = 0;

 protected:
  ~Person() = default;
};

// What a call works with, made once where it enters.
struct CallContext {
  Person* person;
  const char* baseDrive;      // of the host's base path: where relative sources start
  const char* baseDirectory;
  const char* dialogFolder;   // where the save dialog opens; empty until a first copy
};

}  // namespace tamarisk
