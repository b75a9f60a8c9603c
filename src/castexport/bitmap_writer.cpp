#include "castexport/media_writers.h"
#include "common/scripting_instance.h"
#include "dib/dib_writer.h"
#include "host/host_ref.h"

namespace tamarisk {

WriteOutcome WriteBitmapMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                               const char* path) {
  MediaRequest image(instance->utilities, instance->mediaServices, "Image", "winDIB");
  switch (WriteDibFile(image.Read(member.Get()), path)) {
    case kDibOk: return WriteOutcome::kWritten;
    case kDibFileFailed: return WriteOutcome::kNotWritten;
    default: return WriteOutcome::kNotConverted;
  }
}

}  // namespace tamarisk
