#include "module/module_state.h"

namespace tamarisk {

ModuleContext moduleContext = {};
HandlerState handlerState = {};
int32 liveObjectCount = 0;

}  // namespace tamarisk
