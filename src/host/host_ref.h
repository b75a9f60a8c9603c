// Scoped holders for what the module receives from the host, so that every
// path out of a scope gives it back, and the reads that fill them: each
// makes the host call and holds what it hands out only when it succeeded.
#pragma once

#include "host/host_abi.h"
#include "base/text.h"

namespace tamarisk {

// One counted reference on a host interface; released when the holder goes.
template <class T>
class HostRef {
 public:
  HostRef() = default;
  explicit HostRef(T* adopted) : p_(adopted) {}
  ~HostRef() { Reset(); }
  HostRef(const HostRef&) = delete;
  HostRef& operator=(const HostRef&) = delete;

  // Makes call(T** out), an operation that hands out a new reference, and
  // holds the reference only when the call succeeded. Returns its status.
  template <class Call>
  Status Acquire(Call call) {
    Reset();
    T* acquired = nullptr;
    const Status status = call(&acquired);
    if (status == kOk) p_ = acquired;
    return status;
  }
  void Reset() {
    if (p_ != nullptr) {
      T* p = p_;
      p_ = nullptr;
      p->ops->Release(p);
    }
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

Symbol MakeSymbol(HostUtilities* utilities, const char* name);

// A property value handed out by the host; disposed of when the holder goes.
class HostValueHolder {
 public:
  explicit HostValueHolder(HostUtilities* utilities) : utilities_(utilities) {}
  ~HostValueHolder() { Dispose(); }
  HostValueHolder(const HostValueHolder&) = delete;
  HostValueHolder& operator=(const HostValueHolder&) = delete;

  // ReadProperty; the value is held only when the host handed one out.
  bool Read(MemberAccess* member, const char* property);
  const HostValue* Get() const { return &value_; }
  void Dispose();

 private:
  HostUtilities* utilities_;
  HostValue value_{{0, 0}};
  bool held_ = false;
};

// A value as text, cut to 511 bytes by the host; on failure the buffer is
// empty, never an earlier call's text. False when the value is not a string.
bool ReadText(HostUtilities* utilities, const HostValue* value, TextBuffer* text);

enum class ArgumentText { kText, kNotText, kTooLong };

// A Lingo argument as ReadText reads it, but a string longer than the buffer
// is kTooLong (and the buffer empty): cut to fit, a path names another file.
ArgumentText ReadArgumentText(HostUtilities* utilities, const HostValue* value, TextBuffer* text);

// A host handle's bytes, locked while the holder lives.
class HandleLock {
 public:
  HandleLock(HandleServices* services, HostHandle handle)
      : services_(services),
        handle_(handle),
        bytes_(static_cast<const uint8*>(services->ops->LockHandle(services, handle))) {}
  ~HandleLock() {
    if (bytes_ != nullptr) services_->ops->UnlockHandle(services_, handle_);
  }
  HandleLock(const HandleLock&) = delete;
  HandleLock& operator=(const HandleLock&) = delete;
  const uint8* bytes() const { return bytes_; }

 private:
  HandleServices* services_;
  HostHandle handle_;
  const uint8* bytes_;
};

// A media request to the host, returned with FreeMediaData on every path.
class MediaRequest {
 public:
  MediaRequest(HostUtilities* utilities, MediaServices* services, const char* label,
               const char* format)
      : services_(services),
        record_{MakeSymbol(utilities, label), MakeSymbol(utilities, format), nullptr, 0, 0} {}
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
