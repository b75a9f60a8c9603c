// A media request to the host, returned with FreeMediaData on every path.
#pragma once

#include "castexport/member_properties.h"
#include "host/host_abi.h"

namespace tamarisk {

class MediaRequest {
 public:
  MediaRequest(HostUtilities* utilities, MediaServices* services, const char* label, const char* format)
      : services_(services), record_{MakeSymbol(utilities, label), MakeSymbol(utilities, format), nullptr, 0, 0} {}
  ~MediaRequest() { services_->ops->FreeMediaData(services_, &record_); }
  MediaRequest(const MediaRequest&) = delete;
  MediaRequest& operator=(const MediaRequest&) = delete;

  // Asks the member; its status is not examined: the media data tells.
  HostHandle Read(MemberAccess* member) {
    member->ops->ReadMedia(member, &record_);
    return record_.mediaData;
  }

 private:
  MediaServices* services_;
  MediaRecord record_;
};

}  // namespace tamarisk
