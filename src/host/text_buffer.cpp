#include "host/text_buffer.h"

#include <cstring>

namespace tamarisk {

ArgumentText ReadArgumentText(HostUtilities* utilities, const HostValue* value, char* buffer) {
  buffer[0] = '\0';
  const char* whole = nullptr;
  if (utilities->ops->ValueTextPointer(utilities, value, &whole) == kOk && whole != nullptr &&
      strnlen(whole, kTextBufferSize) > static_cast<std::size_t>(kTextLimit)) {
    return ArgumentText::kTooLong;
  }
  const Status status = utilities->ops->ValueAsText(utilities, value, buffer, kTextLimit);
  buffer[kTextLimit] = '\0';
  if (status != kOk) {
    buffer[0] = '\0';
    return ArgumentText::kNotText;
  }
  return ArgumentText::kText;
}

}  // namespace tamarisk
