// The media writers of the cast member export: each writes one member's
// file to a sink (the temporary export file, or memory in tests) and reports
// whether it is complete.
#pragma once

#include <cstddef>

#include "dib/byte_sink.h"
#include "host/host_abi.h"
#include "host/host_ref.h"

namespace tamarisk {

struct ScriptingInstance;

// member is released by the writer once its last property read is done,
// or by the export frame after the writer returns. The writer finishes the
// sink when it has written the whole file.
using MediaWriter = WriteOutcome (*)(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                                     ByteSink& sink);

// "field" and "richText": the text with CR LF line ends.
WriteOutcome WriteTextMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                             ByteSink& sink);
// "picture": a Macintosh PICT file.
WriteOutcome WritePictureMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                                ByteSink& sink);
// "bitmap": a Windows bitmap file.
WriteOutcome WriteBitmapMember(ScriptingInstance* instance, HostRef<MemberAccess>& member,
                               ByteSink& sink);

// The text with every line end (CR, CR LF or a lone LF) written as CR LF,
// converted in block, of blockSize bytes (at least 64), in one pass that
// finds the line ends and the text's end together: sixteen bytes a step
// where the processor has SSE2, else a machine word a step.
void WriteTextWithCrLf(const char* text, ByteSink& sink, char* block, std::size_t blockSize);
// The same, a machine word a step whatever the processor has.
void WriteTextWithCrLfByWords(const char* text, ByteSink& sink, char* block,
                              std::size_t blockSize);

}  // namespace tamarisk
