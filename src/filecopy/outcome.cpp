#include "filecopy/outcome.h"

#include <cstddef>

#include "res/messages.h"

namespace tamarisk {

namespace {

struct OutcomeRow {
  Outcome outcome;
  OutcomeText text;
};

constexpr OutcomeRow kOutcomes[] = {
    {Outcome::kCopied, {Result::kCopied, nullptr, nullptr}},
    {Outcome::kNothingDone, {Result::kNothingDone, kNothingDone, kCopyFailedCaption}},
    {Outcome::kInvalidArguments, {Result::kInvalid, kInvalidArguments, kCopyFailedCaption}},
    {Outcome::kInvalidMember, {Result::kInvalid, kInvalidArguments, kMemberCaption}},
    {Outcome::kSameAsSource, {Result::kInvalid, kSameAsSource, kCopyFailedCaption}},
    {Outcome::kUnsupportedMedia, {Result::kInvalid, kUnsupportedMedia, kCopyFailedCaption}},
    {Outcome::kNotFound, {Result::kNotFound, kFileNotFound, kCopyFailedCaption}},
    {Outcome::kCopyError, {Result::kFailed, kCopyError, kCopyFailedCaption}},
    {Outcome::kOldBytesKept, {Result::kFailed, kOldBytesKept, kCopyFailedCaption}},
    {Outcome::kDirectoryExists, {Result::kFailed, kDirectoryExists, kCopyFailedCaption}},
    {Outcome::kBusy, {Result::kFailed, kCopyBusy, kCopyFailedCaption}},
    {Outcome::kNoAnswer, {Result::kNoAnswer, nullptr, nullptr}},
    {Outcome::kNoMovie, {Result::kNoAnswer, nullptr, nullptr}},
    {Outcome::kNoSuchCast, {Result::kNoSuchCast, kNoSuchCast, kMemberCaption}},
    {Outcome::kNoSuchMember, {Result::kNoSuchMember, kNoSuchMember, kMemberCaption}},
    {Outcome::kNotConverted, {Result::kNotConverted, kBitmapFailed, kMemberCaption}},
};

// A row per outcome, each at its outcome's place.
constexpr bool EveryRowInPlace() {
  if (sizeof kOutcomes / sizeof kOutcomes[0] != static_cast<std::size_t>(Outcome::kCount))
    return false;
  for (std::size_t i = 0; i < sizeof kOutcomes / sizeof kOutcomes[0]; ++i) {
    if (static_cast<std::size_t>(kOutcomes[i].outcome) != i) return false;
  }
  return true;
}
static_assert(EveryRowInPlace(), "kOutcomes holds one row per outcome, in order");

}  // namespace

const OutcomeText& TextOf(Outcome outcome) {
  return kOutcomes[static_cast<std::size_t>(outcome)].text;
}

}  // namespace tamarisk
