// Scoped holders for what the module receives from the host, so that every
// path out of a scope gives it back.
#pragma once

#include "host/host_abi.h"

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

  // Out-parameter slot for an operation that hands out a new reference.
  T** Receive() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_ != nullptr) {
      T* p = p_;
      p_ = nullptr;
      p->ops->Release(p);
    }
  }
  // The operation that was to hand out a reference failed: nothing to release.
  void Forget() { p_ = nullptr; }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A property value handed out by the host; disposed of when the holder goes.
class HostValueHolder {
 public:
  explicit HostValueHolder(HostUtilities* utilities) : utilities_(utilities) {}
  ~HostValueHolder() { Dispose(); }
  HostValueHolder(const HostValueHolder&) = delete;
  HostValueHolder& operator=(const HostValueHolder&) = delete;

  HostValue* Receive() {
    Dispose();
    held_ = true;
    return &value_;
  }
  const HostValue* Get() const { return &value_; }
  // The read that was to fill the value failed: there is nothing to dispose of.
  void Forget() { held_ = false; }
  void Dispose() {
    if (held_) {
      held_ = false;
      utilities_->ops->DisposeValue(utilities_, &value_);
    }
  }

 private:
  HostUtilities* utilities_;
  HostValue value_{{0, 0}};
  bool held_ = false;
};

}  // namespace tamarisk
