#include "common/outcome.h"

#include <cstddef>

#include "common/message_box.h"
#include "res/messages.h"

namespace tamarisk {

namespace {

struct OutcomeRow {
  Outcome outcome;
  Result result;
  const char* message;  // null: no box
  const char* caption;
  uint32 icon;
};

constexpr uint32 kWarn = kIconWarning;

constexpr OutcomeRow kOutcomes[] = {
    {Outcome::kCopied, Result::kCopied, nullptr, nullptr, 0},
    {Outcome::kNothingDone, Result::kNothingDone, kNothingDone, kCopyFailedCaption, kWarn},
    {Outcome::kInvalidArguments, Result::kInvalid, kInvalidArguments, kCopyFailedCaption, kWarn},
    {Outcome::kInvalidMember, Result::kInvalid, kInvalidArguments, kMemberCaption, kWarn},
    {Outcome::kSameAsSource, Result::kInvalid, kSameAsSource, kCopyFailedCaption, kWarn},
    {Outcome::kUnsupportedMedia, Result::kInvalid, kUnsupportedMedia, kCopyFailedCaption, kWarn},
    {Outcome::kNotFound, Result::kNotFound, kFileNotFound, kCopyFailedCaption, kWarn},
    {Outcome::kCopyError, Result::kFailed, kCopyError, kCopyFailedCaption, kWarn},
    {Outcome::kDirectoryExists, Result::kFailed, kDirectoryExists, kCopyFailedCaption, kWarn},
    {Outcome::kBusy, Result::kFailed, kCopyBusy, kCopyFailedCaption, kWarn},
    {Outcome::kNoAnswer, Result::kNoAnswer, nullptr, nullptr, 0},
    {Outcome::kNoMovie, Result::kNoAnswer, nullptr, nullptr, 0},
    {Outcome::kNoSuchCast, Result::kNoSuchCast, kNoSuchCast, kMemberCaption, kWarn},
    {Outcome::kNoSuchMember, Result::kNoSuchMember, kNoSuchMember, kMemberCaption, kWarn},
    {Outcome::kNotConverted, Result::kNotConverted, kBitmapFailed, kMemberCaption, kWarn},
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

Result Report(HostUtilities* utilities, Outcome outcome) {
  const OutcomeRow& row = kOutcomes[static_cast<std::size_t>(outcome)];
  if (row.message != nullptr) ShowBracketedMessage(utilities, row.message, row.caption, row.icon);
  return row.result;
}

void EndCall(HostUtilities* utilities, CallRecord* call, Outcome outcome) {
  const Result result = Report(utilities, outcome);
  utilities->ops->MakeIntegerValue(utilities, static_cast<int32>(result), &call->result);
}

}  // namespace tamarisk
