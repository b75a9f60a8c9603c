// The picture export over arbitrary handles and "size" properties, through
// the whole handler: nothing is read outside the handle, and a picture that
// is exported is 512 zero bytes and then the handle's bytes from byte 38.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_ids.h"
#include "module/entry_points.h"
#include "simhost/sim_host.h"
#include "tests/doubles/native_fs.h"

using namespace tamarisk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  static const sim::ModuleApi api = {DllGetClassObject, DllCanUnloadNow, DllGetClassForm,
                                     DllGetInterface, DllGetClassInfo};
  sim::NativeFs().Reset();
  sim::NativeUserInterface().messageBox = [](WindowHandle, const char16_t*, const char16_t*,
                                             uint32) { return 1; };
  int32 pictureSize;
  std::memcpy(&pictureSize, data, 4);
  sim::SimMember member;
  member.name = "p";
  member.type = "picture";
  member.size = (data[4] & 1) ? pictureSize : 64 + static_cast<int32>(size > 43 ? size - 43 : 0);
  member.sizeIsInteger = (data[4] & 2) == 0;
  member.composite.assign(data + 5, data + size);
  {
    sim::SimHost host(api);
    host.casts = {{"", {{1, member}}}};
    sim::SimInstance* instance = host.NewInstance(kScriptingClassId);
    InterfaceObject* scripting = nullptr;
    host.GetInterface(instance, kScriptingInterfaceId, &scripting);
    HostValue result = host.VoidValue();
    host.Call(scripting, 2,
              {host.IntegerValue(1), host.IntegerValue(1), host.StringValue("C:\\out.pic")},
              &result);
    static_cast<const ScriptingInterfaceOps*>(scripting->ops)->Release(scripting);
    host.DeleteInstance(instance);
    if (!host.Audit().empty()) std::abort();
    sim::NativeEntry* out = sim::NativeFs().Find("C:\\out.pic");
    if (host.IntegerOf(result) == 0) {
      const std::size_t n = static_cast<std::size_t>(member.size - 64);
      if (out == nullptr || out->bytes.size() != 512 + n) std::abort();
      if (out->bytes.find_first_not_of('\0') < 512) std::abort();
      if (std::memcmp(out->bytes.data() + 512, member.composite.data() + 38, n) != 0) std::abort();
    } else if (out != nullptr) {
      std::abort();
    }
  }
  return 0;
}
