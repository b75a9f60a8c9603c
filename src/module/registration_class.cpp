#include "module/registration_class.h"

#include "host/host_ids.h"

namespace tamarisk {

namespace {

const char kMessageTable[] =
    "xtra Devorozaz\n"
    "new object me\n"
    "* Plovers * -- copy srcFile to dstFile\n"
    "* Avocets * -- save a castMember to a File\n";

constexpr int32 kTextEntryType = 9;

}  // namespace

Status TAMARISK_CALL CreateRegistrationInstance(void*) { return kOk; }

void TAMARISK_CALL DestroyRegistrationInstance(void*) {}

Status TAMARISK_CALL PublishMessageTable(InterfaceObject*, HostRegistrar* registrar,
                                         void* context) {
  HostDictionary* dictionary = nullptr;
  const Status status = registrar->ops->OpenClassDictionary(registrar, context, &kScriptingClassId,
                                                            &kScriptingInterfaceId, &dictionary);
  if (status != kOk) return status;
  // The dictionary stays the host's: it is not released here.
  return dictionary->ops->PutEntry(dictionary, kTextEntryType, kMessageTable, 0, "msgTable");
}

}  // namespace tamarisk
