// The media writers of the cast member export: each fills the temporary
// export file from one member and reports whether the file is complete.
#pragma once

#include <cstddef>

#include "host/host_abi.h"
#include "host/host_ref.h"
#include "platform/scoped.h"

namespace tamarisk {

struct ScriptingInstance;

// What became of the file a writer was to fill.
enum class WriteOutcome {
  kWritten,       // complete
  kNotWritten,    // the file could not be opened or written whole
  kNotConverted,  // the member's media could not be turned into the file's format
};

// member is released by the writer once its last property read is done,
// or by the export frame after the writer returns.
using MediaWriter = WriteOutcome (*)(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                                     const char* path);

// "field" and "richText": the text with CR LF line ends.
WriteOutcome WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                             const char* path);
// "picture": a Macintosh PICT file.
WriteOutcome WritePictureMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                                const char* path);
// "bitmap": a Windows bitmap file.
WriteOutcome WriteBitmapMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                               const char* path);

// The text with every line end (CR, CR LF or a lone LF) written as CR LF,
// converted in block, of blockSize bytes (at least 64).
void WriteTextWithCrLf(const char* text, platform::OutputFile& file, char* block,
                       std::size_t blockSize);

}  // namespace tamarisk
