// The media writers of the cast member export: each fills the temporary
// export file from one member and reports whether the file is complete.
#pragma once

#include <cstddef>

#include "host/host_abi.h"
#include "host/host_ref.h"

namespace tamarisk {

struct ScriptingInstance;

// member is released by the writer once its last property read is done,
// or by the export frame after the writer returns.
using MediaWriter = bool (*)(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                             const char* path);

// "field" and "richText": the text with CR LF line ends.
bool WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member, const char* path);
// "picture": a Macintosh PICT file.
bool WritePictureMember(ScriptingInstance* instance, HostRef<MemberAccess>& member, const char* path);
// "bitmap": a Windows bitmap file.
bool WriteBitmapMember(ScriptingInstance* instance, HostRef<MemberAccess>& member, const char* path);

// The text with every line end (CR, CR LF or a lone LF) written as CR LF,
// converted in block, of blockSize bytes (at least 64).
void WriteTextWithCrLf(const char* text, class OutputFile& file, char* block, std::size_t blockSize);

}  // namespace tamarisk
