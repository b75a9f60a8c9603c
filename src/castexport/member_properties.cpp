#include "castexport/member_properties.h"

#include "host/host_ref.h"
#include "module/module_state.h"

namespace tamarisk {

Symbol MakeSymbol(HostUtilities* utilities, const char* name) {
  Symbol symbol = 0;
  utilities->ops->MakeSymbol(utilities, name, &symbol);
  return symbol;
}

void ReadTextProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                      char* buffer) {
  buffer[0] = '\0';
  HostValueHolder value(utilities);
  if (member->ops->ReadProperty(member, MakeSymbol(utilities, property), value.Receive()) != kOk) {
    value.Forget();
    return;
  }
  if (utilities->ops->ValueAsText(utilities, value.Get(), buffer, kTextLimit) != kOk) buffer[0] = '\0';
  buffer[kTextLimit] = '\0';
}

void ReadSymbolProperty(HostUtilities* utilities, MemberAccess* member, const char* property,
                        char* buffer) {
  buffer[0] = '\0';
  Symbol symbol = 0;
  {
    HostValueHolder value(utilities);
    if (member->ops->ReadProperty(member, MakeSymbol(utilities, property), value.Receive()) != kOk) {
      value.Forget();
      return;
    }
    if (utilities->ops->ValueAsSymbol(utilities, value.Get(), &symbol) != kOk) return;
  }
  if (utilities->ops->SymbolText(utilities, symbol, buffer, kTextLimit) != kOk) buffer[0] = '\0';
  buffer[kTextLimit] = '\0';
}

}  // namespace tamarisk
