// The person at the host, asked as the host wants it: each question, dialog
// and watched copy inside the host's modal bracket, owned by its window.
#pragma once

#include "filecopy/person.h"
#include "host/host_abi.h"

namespace tamarisk {

class HostPerson : public Person {
 public:
  HostPerson(HostUtilities* utilities, WindowHandle window, InstanceHandle instance)
      : utilities_(utilities), window_(window), instance_(instance) {}

  Reply AskToOverwrite(const char* path) override;
  bool ChooseDestination(const DialogOffer& offer, Path* chosen) override;
  bool Watch(CopyJob* job, const char* shownName) override;
  void Tell(const char* text, const char* caption, const char* path) override;

 private:
  HostUtilities* utilities_;
  WindowHandle window_;
  InstanceHandle instance_;
};

}  // namespace tamarisk
