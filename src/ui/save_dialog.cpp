#include "ui/save_dialog.h"

#include <cstring>

#include "base/path.h"
#include "platform/exact_text.h"
#include "platform/platform.h"
#include "platform/scoped.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

constexpr uint32 kHideReadOnly = 0x4;     // OFN_HIDEREADONLY
constexpr uint32 kOverwritePrompt = 0x2;  // OFN_OVERWRITEPROMPT
constexpr uint32 kExplorer = 0x80000;     // OFN_EXPLORER

using platform::WideChar;

// The module's NUL-separated filter list widened field by field from CP932,
// its code page on any system, so that the file types read everywhere.
void WidenFilter(const char* list, WideChar* out, uint32 capacity) {
  uint32 used = 0;
  for (const char* field = list; *field != '\0'; field += std::strlen(field) + 1) {
    const uint32 written = platform::WideFromModuleText(field, out + used, capacity - 1 - used);
    if (written == 0) break;
    used += written;
  }
  out[used] = 0;
}

// ANSI text widened into out, empty when it does not fit.
void Widen(const char* text, std::size_t size, WideChar* out, uint32 capacity) {
  if (platform::WideFromAnsi(text, static_cast<uint32>(size), out, capacity) == 0) out[0] = 0;
}

}  // namespace

void TranslateFilter(const char* filter, char* out, std::size_t capacity) {
  if (capacity < 2) return;
  std::size_t used = 0;
  const char* p = filter;
  while (*p != '\0') {
    const std::size_t step = CharLength(p);
    if (used + step > capacity - 2) break;
    if (step == 1 && *p == '|') {
      out[used++] = '\0';
    } else {
      std::memcpy(out + used, p, step);
      used += step;
    }
    p += step;
  }
  out[used] = '\0';
  out[used + 1] = '\0';
}

SaveDialog::SaveDialog(const DialogOffer& offer, WindowHandle owner, InstanceHandle instance) {
  char filterList[kTextBufferSize];
  TranslateFilter(offer.filter, filterList, sizeof filterList);
  WidenFilter(filterList, filter_, kTextBufferSize);
  FitText(offer.name, offeredName_, sizeof offeredName_);
  Widen(offer.folder, std::strlen(offer.folder) + 1, folder_, kTextBufferSize);
  if (offer.defaultExtension != nullptr) {
    Widen(offer.defaultExtension, std::strlen(offer.defaultExtension) + 1, extension_,
          kTextBufferSize);
  }
  request_.owner = owner;
  request_.instance = instance;
  request_.filter = filter_;
  request_.file = file_;
  request_.fileSize = kDialogFileSize;
  request_.initialDirectory = folder_;
  request_.defaultExtension = offer.defaultExtension != nullptr ? extension_ : nullptr;
  request_.flags = kHideReadOnly | kOverwritePrompt | kExplorer;
}

bool SaveDialog::Show() {
  Widen(offeredName_, std::strlen(offeredName_) + 1, file_, kDialogFileSize);
  if (!platform::ShowSaveDialog(&request_)) return false;
  file_[kDialogFileSize - 1] = 0;
  return true;
}

SaveDialog::Answer SaveDialog::Take(Path* chosen) {
  char exact[4 * kDialogFileSize];  // a character takes at most four bytes (UTF-8)
  if (!platform::ExactAnsi(file_, exact, sizeof exact)) {
    FolderOf(file_, folder_);
    return Answer::kUnusable;
  }
  // Too long for the module's buffer, the dialog failed as its ANSI form does.
  const std::size_t size = std::strlen(exact) + 1;
  if (size > kDialogFileSize) return Answer::kCancelled;
  static_assert(kDialogFileSize <= Path::kCapacity, "a chosen path fits a path");
  std::memcpy(chosen->data(), exact, size);
  return Answer::kChosen;
}

}  // namespace tamarisk
