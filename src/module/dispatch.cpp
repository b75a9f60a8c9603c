#include "module/dispatch.h"

#include "castexport/export_handler.h"
#include "filecopy/file_copy_handler.h"

namespace tamarisk {

Status TAMARISK_CALL DispatchCall(InterfaceObject* self, CallRecord* call) {
  switch (call->selector) {
    case kMessagePlovers: Plovers(self, call); break;
    case kMessageAvocets: Avocets(self, call); break;
    default: break;  // the constructor and unknown numbers do nothing
  }
  return kOk;
}

}  // namespace tamarisk
