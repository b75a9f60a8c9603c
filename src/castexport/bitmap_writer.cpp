#include "castexport/media_record.h"
#include "castexport/media_writers.h"
#include "dib/dib_writer.h"
#include "module/scripting_class.h"

namespace tamarisk {

bool WriteBitmapMember(ScriptingInstance* instance, HostRef<MemberAccess>& member, const char* path) {
  MediaRequest image(instance->utilities, instance->mediaServices, "Image", "winDIB");
  return WriteDibFile(image.Read(member.Get()), path) == kDibOk;
}

}  // namespace tamarisk
