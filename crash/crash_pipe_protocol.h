// What a crash client and its crash reporter exchange over the reporter's
// named pipe, and what the reporter reads from the client's memory.
//
// The pipe is a message pipe. A client connects once, sends one registration
// message that names the addresses of its crash slots in its own memory, and
// keeps the connection. When it crashes it fills the slots and sends a dump
// request; the reporter reads the slots with ReadProcessMemory, writes the
// dump and answers. Every message has the same fixed size; the reporter drops
// a client that sends anything else, and it believes no size the client gives
// beyond the bounds below.

#ifndef CRASH_CRASH_PIPE_PROTOCOL_H_
#define CRASH_CRASH_PIPE_PROTOCOL_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace crash {

// One crash key: a name and a value of at most 63 UTF-16 units each, both
// terminated.
struct CustomInfoEntry {
  static constexpr size_t kNameMaxLength = 64;
  static constexpr size_t kValueMaxLength = 64;
  wchar_t name[kNameMaxLength];
  wchar_t value[kValueMaxLength];
};
static_assert(sizeof(CustomInfoEntry) == 256);

// Where a client keeps its crash keys; read by the reporter at dump time, so
// that keys set after registration travel too.
struct CustomClientInfo {
  const CustomInfoEntry* entries;
  size_t count;
};

// The most crash keys a reporter reads from one client.
inline constexpr size_t kMaxCustomInfoEntries = 1024;

// The layout of a minidump's assertion record: what failed, where, and how.
struct AssertionInfo {
  static constexpr size_t kTextLength = 128;
  wchar_t expression[kTextLength];
  wchar_t function[kTextLength];
  wchar_t file[kTextLength];
  uint32_t line;
  uint32_t type;
};
static_assert(sizeof(AssertionInfo) == 776);

// AssertionInfo::type.
enum AssertionType : uint32_t {
  kAssertionException = 0,
  kAssertionInvalidParameter = 1,
  kAssertionPureCall = 2,
};

// Exception codes of the crashes that are not exceptions.
inline constexpr DWORD kInvalidParameterCode = 0xC000000D;  // STATUS_INVALID_PARAMETER
inline constexpr DWORD kPureCallCode = 0xC0000025;          // STATUS_NONCONTINUABLE_EXCEPTION
inline constexpr DWORD kAbortCode = 0x40000015;             // STATUS_FATAL_APP_EXIT

enum class PipeMessageTag : uint32_t {
  kRegister = 0x52454731,       // client: here are my slots
  kRegisterReply = 0x52454732,  // reporter: registered
  kDumpRequest = 0x44554D31,    // client: I crashed, dump me
  kDumpReply = 0x44554D32,      // reporter: done (|result| 1 when a dump was written)
};

struct PipeMessage {
  PipeMessageTag tag;
  uint32_t process_id;  // kRegister: the client's; replies: the reporter's
  uint32_t result;
  uint32_t reserved;
  uint64_t thread_id_address;           // DWORD: the crashing thread
  uint64_t exception_pointers_address;  // EXCEPTION_POINTERS*
  uint64_t assertion_info_address;      // AssertionInfo
  uint64_t custom_client_info_address;  // CustomClientInfo
};
static_assert(sizeof(PipeMessage) == 48);

}  // namespace crash

#endif  // CRASH_CRASH_PIPE_PROTOCOL_H_
