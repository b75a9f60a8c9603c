#include "module/module_state.h"
#include "module/entry_points.h"
#include "support/module_api.h"

namespace tamarisk {
namespace test {

const sim::ModuleApi& TheModule() {
  static const sim::ModuleApi api = {DllGetClassObject, DllCanUnloadNow, DllGetClassForm,
                                     DllGetInterface, DllGetClassInfo};
  return api;
}

void FreshModule() {
  moduleContext = ModuleContext{};
  handlerState = HandlerState{};
}

bool IsRealDll() { return false; }

}  // namespace test
}  // namespace tamarisk
