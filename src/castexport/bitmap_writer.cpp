#include "castexport/media_writers.h"
#include "castexport/scripting_instance.h"
#include "dib/dib_writer.h"
#include "host/host_ref.h"

namespace tamarisk {

WriteOutcome WriteBitmapMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                               ByteSink& sink) {
  MediaRequest image(instance->utilities, instance->mediaServices, "Image", "winDIB");
  return WriteDibFile(image.Read(member.Get()), sink);
}

}  // namespace tamarisk
