// The texts the user sees, in CP932 (Shift-JIS) as the system shows them;
// the decoded text stands above each.
#pragma once

namespace tamarisk {

extern const char kCopyFailedCaption[];
extern const char kNothingDone[];
extern const char kInvalidArguments[];
extern const char kSameAsSource[];
extern const char kFileNotFound[];
extern const char kCopyError[];
extern const char kOldBytesKept[];
extern const char kDirectoryExists[];
extern const char kOverwriteQuestion[];
extern const char kOverwriteCaption[];
extern const char kUnusableName[];
extern const char kUnusableNameCaption[];
extern const char kMemberCaption[];
extern const char kNoSuchCast[];
extern const char kNoSuchMember[];
extern const char kUnsupportedMedia[];
extern const char kBitmapFailed[];
extern const char kCopyingCaption[];
extern const char kCancelButton[];
extern const char kTimeLeft[];
extern const char kSecondsUnit[];
extern const char kMinutesUnit[];
extern const char kCopyBusy[];
extern const char kTextFilter[];
extern const char kPictureFilter[];
extern const char kBitmapFilter[];
extern const char kAllFilesFilter[];

}  // namespace tamarisk
