// The binary interface shared by the module and every host that loads it:
// calling convention, scalar types, records and the host's operation tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/base_types.h"

#if defined(_WIN32) && !defined(_WIN64)
#define TAMARISK_CALL __stdcall
#else
#define TAMARISK_CALL
#endif

namespace tamarisk {

using Status = int32;
constexpr Status kOk = 0;
constexpr Status kOutOfMemory = static_cast<Status>(0x80040002u);
constexpr Status kStillInUse = static_cast<Status>(0x80040003u);
constexpr Status kNoInterface = static_cast<Status>(0x80040004u);
constexpr Status kNoClass = static_cast<Status>(0x80040005u);

struct Guid {
  uint32 data1;
  uint16 data2;
  uint16 data3;
  uint8 data4[8];
};
static_assert(sizeof(Guid) == 16, "Guid is 16 bytes");

bool SameGuid(const Guid& a, const Guid& b);

struct HostValue {
  uint32 words[2];
};
static_assert(sizeof(HostValue) == 8, "HostValue is 8 bytes");

using Symbol = uint32;

// Slots that exist in a table but that the module never calls.
using UnusedSlot = void*;

// Every operation table begins with these three.
#define TAMARISK_UNKNOWN_SLOTS(Self)                                 \
  Status(TAMARISK_CALL* QueryInterface)(Self*, const Guid*, void**); \
  uint32(TAMARISK_CALL* AddRef)(Self*);                              \
  uint32(TAMARISK_CALL* Release)(Self*)

struct HostUnknown;
struct HostUnknownOps {
  TAMARISK_UNKNOWN_SLOTS(HostUnknown);
};
struct HostUnknown {
  const HostUnknownOps* ops;
};

struct HostGateway;
struct HostGatewayOps {
  TAMARISK_UNKNOWN_SLOTS(HostGateway);
};
struct HostGateway {
  const HostGatewayOps* ops;
};

struct HostAllocator;
struct HostAllocatorOps {
  TAMARISK_UNKNOWN_SLOTS(HostAllocator);
  void*(TAMARISK_CALL* AllocateBlock)(HostAllocator*, uint32 size);  // 3
  void(TAMARISK_CALL* FreeBlock)(HostAllocator*, void* block);       // 4
};
struct HostAllocator {
  const HostAllocatorOps* ops;
};

struct HostDictionary;
struct HostDictionaryOps {
  TAMARISK_UNKNOWN_SLOTS(HostDictionary);
  UnusedSlot slot3to5[3];
  Status(TAMARISK_CALL* PutEntry)(HostDictionary*, int32 type, const void* data, int32 length,
                                  const char* key);  // 6
};
struct HostDictionary {
  const HostDictionaryOps* ops;
};

struct HostRegistrar;
struct HostRegistrarOps {
  TAMARISK_UNKNOWN_SLOTS(HostRegistrar);
  UnusedSlot slot3to6[4];
  Status(TAMARISK_CALL* OpenClassDictionary)(HostRegistrar*, void* context, const Guid* classId,
                                             const Guid* interfaceId,
                                             HostDictionary** out);  // 7
};
struct HostRegistrar {
  const HostRegistrarOps* ops;
};

struct HostUtilities;
struct HostUtilitiesOps {
  TAMARISK_UNKNOWN_SLOTS(HostUtilities);
  UnusedSlot slot3to7[5];
  Status(TAMARISK_CALL* MakeSymbol)(HostUtilities*, const char* name, Symbol* out);            // 8
  Status(TAMARISK_CALL* SymbolText)(HostUtilities*, Symbol symbol, char* buffer, int32 size);  // 9
  UnusedSlot slot10to11[2];
  Status(TAMARISK_CALL* DisposeValue)(HostUtilities*, HostValue* value);                      // 12
  Status(TAMARISK_CALL* ValueAsInteger)(HostUtilities*, const HostValue* value, int32* out);  // 13
  Status(TAMARISK_CALL* ValueAsSymbol)(HostUtilities*, const HostValue* value, Symbol* out);  // 14
  UnusedSlot slot15to16[2];
  Status(TAMARISK_CALL* ValueAsText)(HostUtilities*, const HostValue* value, char* buffer,
                                     int32 size);  // 17
  Status(TAMARISK_CALL* ValueTextPointer)(HostUtilities*, const HostValue* value,
                                          const char** out);  // 18
  UnusedSlot slot19to21[3];
  Status(TAMARISK_CALL* MakeIntegerValue)(HostUtilities*, int32 n, HostValue* out);  // 22
  UnusedSlot slot23to41[19];
  Status(TAMARISK_CALL* GetHostWindows)(HostUtilities*, InstanceHandle* instance,
                                        WindowHandle* window);  // 42
  UnusedSlot slot43to45[3];
  Status(TAMARISK_CALL* BeginModal)(HostUtilities*, int32* token);  // 46
  Status(TAMARISK_CALL* EndModal)(HostUtilities*, int32 token);     // 47
};
struct HostUtilities {
  const HostUtilitiesOps* ops;
};

struct MemberAccess;
struct CastAccess;
struct MovieAccess;

struct MovieSource;
struct MovieSourceOps {
  TAMARISK_UNKNOWN_SLOTS(MovieSource);
  UnusedSlot slot3to5[3];
  Status(TAMARISK_CALL* GetCurrentMovie)(MovieSource*, MovieAccess** out);  // 6
};
struct MovieSource {
  const MovieSourceOps* ops;
};

struct MediaRecord {
  Symbol label;
  Symbol format;
  HostHandle mediaData;
  uint32 zero1;
  uint32 zero2;
};

struct MediaServices;
struct MediaServicesOps {
  TAMARISK_UNKNOWN_SLOTS(MediaServices);
  UnusedSlot slot3to5[3];
  Status(TAMARISK_CALL* FreeMediaData)(MediaServices*, MediaRecord* record);  // 6
};
struct MediaServices {
  const MediaServicesOps* ops;
};

struct HandleServices;
struct HandleServicesOps {
  TAMARISK_UNKNOWN_SLOTS(HandleServices);
  UnusedSlot slot3to7[5];
  void*(TAMARISK_CALL* LockHandle)(HandleServices*, HostHandle handle);   // 8
  void(TAMARISK_CALL* UnlockHandle)(HandleServices*, HostHandle handle);  // 9
  // No operation gives a handle's size: the host lists none.
};
struct HandleServices {
  const HandleServicesOps* ops;
};

struct HostPaths;
struct HostPathsOps {
  TAMARISK_UNKNOWN_SLOTS(HostPaths);
  Status(TAMARISK_CALL* GetPath)(HostPaths*, int32 which, char* buffer, int32 size);  // 3
};
struct HostPaths {
  const HostPathsOps* ops;
};

struct MovieAccessOps {
  TAMARISK_UNKNOWN_SLOTS(MovieAccess);
  UnusedSlot slot3to9[7];
  Status(TAMARISK_CALL* GetCast)(MovieAccess*, int32 index, CastAccess** out);  // 10
  UnusedSlot slot11;
  Status(TAMARISK_CALL* FindCast)(MovieAccess*, const char* name, int32* index);  // 12
};
struct MovieAccess {
  const MovieAccessOps* ops;
};

struct CastAccessOps {
  TAMARISK_UNKNOWN_SLOTS(CastAccess);
  UnusedSlot slot3to11[9];
  Status(TAMARISK_CALL* FindMember)(CastAccess*, const char* name, int32* index);  // 12
  Status(TAMARISK_CALL* GetMember)(CastAccess*, int32 index, MemberAccess** out);  // 13
};
struct CastAccess {
  const CastAccessOps* ops;
};

struct MemberAccessOps {
  TAMARISK_UNKNOWN_SLOTS(MemberAccess);
  Status(TAMARISK_CALL* ReadProperty)(MemberAccess*, Symbol property, HostValue* out);  // 3
  UnusedSlot slot4;
  Status(TAMARISK_CALL* ReadMedia)(MemberAccess*, MediaRecord* record);  // 5
};
struct MemberAccess {
  const MemberAccessOps* ops;
};

// The host's header at the start of every instance record.
struct InstanceHeader;
struct InstanceOps {
  TAMARISK_UNKNOWN_SLOTS(InstanceHeader);
};
struct InstanceHeader {
  const InstanceOps* ops;    // 0
  void* hostPrivate1;        // 1
  HostGateway* gateway;      // 2
  HostAllocator* allocator;  // 3
  void* hostPrivate4;        // 4
  void* hostPrivate5;        // 5
};

// One Lingo call.
struct CallRecord {
  uint32 hostWord0;
  uint32 hostWord1;
  int32 selector;
  HostValue result;
  int32 argCount;
  HostValue* args;
};

struct ClassInfoEntry {
  Guid classId;
  uint32 classVersion;
  Guid interfaceId;
  uint32 interfaceVersion;
};
static_assert(sizeof(ClassInfoEntry) == 40, "the host reads 40-byte class info entries");
static_assert(offsetof(ClassInfoEntry, interfaceId) == 20, "class info layout");

// The module's own interface objects.
struct InterfaceObject {
  const void* ops;
  void* outer;
  int32 refCount;
};

struct RegistrationInterfaceOps {
  TAMARISK_UNKNOWN_SLOTS(InterfaceObject);
  Status(TAMARISK_CALL* PublishMessageTable)(InterfaceObject*, HostRegistrar* registrar,
                                             void* context);  // 3
};
struct ScriptingInterfaceOps {
  TAMARISK_UNKNOWN_SLOTS(InterfaceObject);
  Status(TAMARISK_CALL* DispatchCall)(InterfaceObject*, CallRecord* call);  // 3
};

using CreateFn = Status(TAMARISK_CALL*)(void* instance);
using DestroyFn = void(TAMARISK_CALL*)(void* instance);
using InterfaceCreateFn = Status (*)(void* outer, void** out);

// Entry point signatures, for hosts that look them up by name.
using DllGetClassObjectFn = Status(TAMARISK_CALL*)(const Guid*, const Guid*, void**);
using DllCanUnloadNowFn = Status(TAMARISK_CALL*)();
using DllGetClassFormFn = Status(TAMARISK_CALL*)(const Guid*, uint32*, CreateFn*, DestroyFn*);
using DllGetInterfaceFn = Status(TAMARISK_CALL*)(void*, const Guid*, const Guid*, void**);
using DllGetClassInfoFn = Status(TAMARISK_CALL*)(HostAllocator*, ClassInfoEntry**);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(InstanceHeader) == 24, "host instance header is six words");
static_assert(offsetof(CallRecord, selector) == 8, "call record layout");
static_assert(offsetof(CallRecord, result) == 12, "call record layout");
static_assert(offsetof(CallRecord, argCount) == 20, "call record layout");
static_assert(offsetof(CallRecord, args) == 24, "call record layout");
static_assert(sizeof(MediaRecord) == 20, "media record is five words");
static_assert(sizeof(InterfaceObject) == 12, "interface object layout");
static_assert(offsetof(HostUtilitiesOps, EndModal) == 47 * 4, "utilities slots");
static_assert(offsetof(HostUtilitiesOps, MakeIntegerValue) == 22 * 4, "utilities slots");
static_assert(offsetof(HandleServicesOps, UnlockHandle) == 9 * 4, "handle services slots");
static_assert(offsetof(CastAccessOps, GetMember) == 13 * 4, "cast slots");
static_assert(offsetof(MovieAccessOps, FindCast) == 12 * 4, "movie slots");
static_assert(offsetof(HostRegistrarOps, OpenClassDictionary) == 7 * 4, "registrar slots");
#endif
static_assert(offsetof(HostUtilitiesOps, GetHostWindows) == 42 * sizeof(void*), "utilities slots");
static_assert(offsetof(HostDictionaryOps, PutEntry) == 6 * sizeof(void*), "dictionary slots");
static_assert(offsetof(MemberAccessOps, ReadMedia) == 5 * sizeof(void*), "member slots");

}  // namespace tamarisk
