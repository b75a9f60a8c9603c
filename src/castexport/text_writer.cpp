#include <cstring>

#include "castexport/media_writers.h"
#include "common/scripting_instance.h"
#include "host/host_ref.h"
#include "platform/scoped.h"

namespace tamarisk {

void WriteTextWithCrLf(const char* text, platform::OutputFile& file) {
  // Gathered into blocks: one stream call per line end costs more than the text.
  char block[16384];
  std::size_t used = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (used + 2 > sizeof block) {
      file.Write(block, used);
      used = 0;
    }
    if (*p == '\n') continue;
    block[used++] = *p;
    if (*p == '\r') block[used++] = '\n';
  }
  file.Write(block, used);
}

WriteOutcome WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                             const char* path) {
  HostUtilities* utilities = instance->utilities;
  HostValueHolder value(utilities);
  const bool read = value.Read(member.Get(), "text");
  member.Reset();  // "text" is the last property this kind reads

  const char* text = nullptr;
  if (!read || utilities->ops->ValueTextPointer(utilities, value.Get(), &text) != kOk ||
      text == nullptr) {
    text = "";  // no text from the host: an empty file
  }
  platform::OutputFile file(path);
  WriteTextWithCrLf(text, file);
  file.Flush();
  return file.Close() ? WriteOutcome::kWritten : WriteOutcome::kNotWritten;
}

}  // namespace tamarisk
