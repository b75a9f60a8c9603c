#include "castexport/media_writers.h"
#include "castexport/scripting_instance.h"
#include "host/host_ref.h"
#include "platform/platform.h"

namespace tamarisk {

namespace {

constexpr int32 kSizeBeyondPicture = 64;  // "size" exceeds the picture bytes by this
constexpr uint32 kPictureOffset = 38;     // where the picture bytes begin in the handle
constexpr std::size_t kPictHeaderSize = 512;

// The member's "size" property; false when it is not an integer.
bool ReadSize(HostUtilities* utilities, MemberAccess* member, int32* size) {
  HostValueHolder value(utilities);
  return value.Read(member, "size") &&
         utilities->ops->ValueAsInteger(utilities, value.Get(), size) == kOk;
}

}  // namespace

WriteOutcome WritePictureMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                                ByteSink& sink) {
  int32 size = 0;
  if (!ReadSize(instance->utilities, member.Get(), &size) || size < kSizeBeyondPicture) {
    return WriteOutcome::kNotConverted;
  }
  const uint32 pictureBytes = static_cast<uint32>(size - kSizeBeyondPicture);

  MediaRequest composite(instance->utilities, instance->mediaServices, "Composite", "moaHandle");
  const HostHandle handle = composite.Read(member.Get());
  if (handle == nullptr) return WriteOutcome::kNotConverted;

  static const uint8 kZeros[kPictHeaderSize] = {};
  sink.Write(kZeros, sizeof kZeros);
  HandleLock lock(instance->handleServices, handle);
  // The host gives no handle's size: "size" is trusted only as far as the
  // memory behind the pointer is there to be read, from the handle's start.
  if (lock.bytes() == nullptr ||
      !platform::IsReadable(lock.bytes(), std::size_t{kPictureOffset} + pictureBytes)) {
    return WriteOutcome::kNotConverted;
  }
  sink.Write(lock.bytes() + kPictureOffset, pictureBytes);
  return sink.Finish() ? WriteOutcome::kWritten : WriteOutcome::kNotWritten;
}

}  // namespace tamarisk
