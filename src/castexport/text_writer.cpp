#include <cstring>

#include "castexport/media_writers.h"
#include "castexport/member_properties.h"
#include "castexport/output_file.h"
#include "module/scripting_class.h"

namespace tamarisk {

void WriteTextWithCrLf(const char* text, OutputFile& file) {
  static const char kCrLf[] = "\r\n";
  const char* run = text;
  for (const char* p = text;; ++p) {
    if (*p != '\0' && *p != '\r' && *p != '\n') continue;
    file.Write(run, static_cast<std::size_t>(p - run));
    if (*p == '\r') {
      file.Write(kCrLf, 2);
      file.Flush();
    }
    if (*p == '\0') return;
    run = p + 1;
  }
}

bool WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member, const char* path) {
  HostUtilities* utilities = instance->utilities;
  HostValueHolder value(utilities);
  const Status read =
      member->ops->ReadProperty(member.Get(), MakeSymbol(utilities, "text"), value.Receive());
  member.Reset();  // "text" is the last property this kind reads
  if (read != kOk) value.Forget();

  const char* text = nullptr;
  if (read != kOk || utilities->ops->ValueTextPointer(utilities, value.Get(), &text) != kOk ||
      text == nullptr) {
    text = "";  // no text from the host: an empty file
  }
  OutputFile file(path);
  WriteTextWithCrLf(text, file);
  file.Flush();
  return file.Close();
}

}  // namespace tamarisk
