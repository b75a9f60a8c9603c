#include "host/host_ref.h"

#include <cstring>

#include "base/text.h"

namespace tamarisk {

Symbol MakeSymbol(HostUtilities* utilities, const char* name) {
  Symbol symbol = 0;
  utilities->ops->MakeSymbol(utilities, name, &symbol);
  return symbol;
}

bool HostValueHolder::Read(MemberAccess* member, const char* property) {
  Dispose();
  HostValue value{{0, 0}};
  if (member->ops->ReadProperty(member, MakeSymbol(utilities_, property), &value) != kOk)
    return false;
  value_ = value;
  held_ = true;
  return true;
}

void HostValueHolder::Dispose() {
  if (held_) {
    held_ = false;
    utilities_->ops->DisposeValue(utilities_, &value_);
  }
}

bool ReadText(HostUtilities* utilities, const HostValue* value, TextBuffer* text) {
  char* buffer = text->data();
  buffer[0] = '\0';
  const bool isText = utilities->ops->ValueAsText(utilities, value, buffer, kTextLimit) == kOk;
  buffer[isText ? kTextLimit : 0] = '\0';
  return isText;
}

ArgumentText ReadArgumentText(HostUtilities* utilities, const HostValue* value, TextBuffer* text) {
  if (!ReadText(utilities, value, text)) return ArgumentText::kNotText;
  if (std::strlen(text->c_str()) < static_cast<std::size_t>(kTextLimit)) return ArgumentText::kText;
  // Only a string's text may be asked for whole; one that filled the buffer
  // may have been cut.
  const char* whole = nullptr;
  if (utilities->ops->ValueTextPointer(utilities, value, &whole) == kOk && whole != nullptr &&
      strnlen(whole, kTextBufferSize) > static_cast<std::size_t>(kTextLimit)) {
    text->Clear();
    return ArgumentText::kTooLong;
  }
  return ArgumentText::kText;
}

}  // namespace tamarisk
