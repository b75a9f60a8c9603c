#include "castexport/export_kinds.h"

#include <cstdio>
#include <cstring>

#include "base/path.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

const ExportKind kExportKinds[] = {
    {"bitmap", WriteBitmapMember, true, "bmp", kBitmapFilter, Outcome::kNotConverted},
    {"picture", WritePictureMember, false, "pic", kPictureFilter, Outcome::kCopyError},
    {"field", WriteTextMember, false, "txt", kTextFilter, Outcome::kCopyError},
    {"richText", WriteTextMember, false, "txt", kTextFilter, Outcome::kCopyError},
};

}  // namespace

const ExportKind* FindExportKind(const char* typeName) {
  for (const ExportKind& kind : kExportKinds) {
    if (std::strcmp(typeName, kind.typeName) == 0) return &kind;
  }
  return nullptr;
}

void ComposeDefaultName(const char* name, int32 castIndex, int32 memberIndex,
                        const ExportKind& kind, TextBuffer* out) {
  if (name[0] == '\0') {
    std::snprintf(out->data(), TextBuffer::kCapacity, "%d-%d.%s", static_cast<int>(castIndex),
                  static_cast<int>(memberIndex), kind.defaultExtension);
    return;
  }
  // The base name: no drive prefix, no folders, nothing from the last dot on.
  PathComponents parts;
  SplitPath(name, &parts);
  JoinPath("", "", parts.name, kind.defaultExtension, out->data(), TextBuffer::kCapacity);
}

}  // namespace tamarisk
