#include "castexport/member_properties.h"

#include "host/host_ref.h"
#include "base/text.h"

namespace tamarisk {

void ReadTextProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                      TextBuffer* text) {
  text->Clear();
  HostValueHolder value(utilities);
  if (value.Read(member, property)) ReadText(utilities, value.Get(), text);
}

void ReadSymbolProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                        TextBuffer* text) {
  char* buffer = text->data();
  buffer[0] = '\0';
  Symbol symbol = 0;
  {
    HostValueHolder value(utilities);
    if (!value.Read(member, property) ||
        utilities->ops->ValueAsSymbol(utilities, value.Get(), &symbol) != kOk) {
      return;
    }
  }
  if (utilities->ops->SymbolText(utilities, symbol, buffer, kTextLimit) != kOk) buffer[0] = '\0';
  buffer[kTextLimit] = '\0';
}

}  // namespace tamarisk
