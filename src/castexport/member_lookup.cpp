#include "castexport/member_lookup.h"

#include "castexport/member_properties.h"

namespace tamarisk {

namespace {

enum class Lookup { kFound, kNotFound, kNotAName };

// A cast in the movie, or a member in the cast, from a Lingo argument: a
// string is always a name, else an integer is the number itself. Not found
// covers a name the host does not know and a number it does not accept. A
// name too long to hold whole is none: cut, it may name another.
template <class Container, class Item>
Lookup LookUp(HostUtilities* utilities, const HostValue* argument, Container* container,
              Status(TAMARISK_CALL* find)(Container*, const char*, int32*),
              Status(TAMARISK_CALL* get)(Container*, int32, Item**), int32* index,
              HostRef<Item>* item) {
  TextBuffer name;
  *index = 0;
  switch (ReadArgumentText(utilities, argument, &name)) {
    case ArgumentText::kTooLong: return Lookup::kNotAName;
    case ArgumentText::kText:
      find(container, name.c_str(), index);
      if (*index == 0) return Lookup::kNotFound;
      break;
    case ArgumentText::kNotText:
      if (utilities->ops->ValueAsInteger(utilities, argument, index) != kOk)
        return Lookup::kNotAName;
      break;
  }
  const Status status = item->Acquire([&](Item** out) { return get(container, *index, out); });
  return status == kOk ? Lookup::kFound : Lookup::kNotFound;
}

// What a lookup means for the call: nothing when it found the item.
Refusal RefusalOf(Lookup lookup, Outcome notFound) {
  if (lookup == Lookup::kFound) return std::nullopt;
  return lookup == Lookup::kNotFound ? notFound : Outcome::kInvalidMember;
}

// The cast of the current movie that argument names; the movie is let go
// once it has handed the cast out.
Refusal FindCast(ScriptingInstance* instance, const HostValue* argument,
                 HostRef<CastAccess>* cast, int32* index) {
  HostRef<MovieAccess> movie;
  MovieSource* source = instance->movieSource;
  if (movie.Acquire([&](MovieAccess** out) { return source->ops->GetCurrentMovie(source, out); }) !=
      kOk) {
    return Outcome::kNoMovie;
  }
  return RefusalOf(LookUp(instance->utilities, argument, movie.Get(), movie->ops->FindCast,
                          movie->ops->GetCast, index, cast),
                   Outcome::kNoSuchCast);
}

}  // namespace

Refusal FindMember(ScriptingInstance* instance, const CallRecord* call, FoundMember* found) {
  HostRef<CastAccess> cast;
  if (Refusal refusal = FindCast(instance, &call->args[0], &cast, &found->castIndex)) {
    return refusal;
  }
  return RefusalOf(LookUp(instance->utilities, &call->args[1], cast.Get(), cast->ops->FindMember,
                          cast->ops->GetMember, &found->memberIndex, &found->member),
                   Outcome::kNoSuchMember);
}

}  // namespace tamarisk
