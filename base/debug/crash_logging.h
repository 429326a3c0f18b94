// Crash keys: named values that travel with a crash dump. The program
// registers its table of keys once (InitCrashKeys) and a reporting backend
// (SetCrashKeyReportingFunctions); SetCrashKeyValue then stores values
// through the backend. A key whose maximum length exceeds the chunk length is
// stored as chunks named "<key>-1" to "<key>-<n>", each at most the chunk
// length; unregistered keys are passed on as they are.

#ifndef BASE_DEBUG_CRASH_LOGGING_H_
#define BASE_DEBUG_CRASH_LOGGING_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace base::debug {

struct CrashKey {
  const char* key_name;
  size_t max_length;
};

using SetCrashKeyValueFunction = void (*)(std::string_view key, std::string_view value);
using ClearCrashKeyValueFunction = void (*)(std::string_view key);

// Registers |count| keys (the array must outlive every use) with chunks of
// at most |chunk_max_length| bytes; returns the number of keys registered.
size_t InitCrashKeys(const CrashKey* keys, size_t count, size_t chunk_max_length);
void SetCrashKeyReportingFunctions(SetCrashKeyValueFunction set, ClearCrashKeyValueFunction clear);

// The registered key of that name, or null.
const CrashKey* LookupCrashKey(std::string_view key);
// The number of chunks |crash_key| is stored in (1 when it fits one).
size_t ChunkCount(const CrashKey& crash_key);
size_t GetChunkMaxLength();
// "<key>-<chunk>".
std::string ChunkName(std::string_view key, size_t chunk);

// Cuts |value| to the key's maximum length and stores it (in chunks when the
// key is longer than one chunk; unused chunks are cleared).
void SetCrashKeyValue(std::string_view key, std::string_view value);
void ClearCrashKey(std::string_view key);

// Forgets the table and the backend.
void ResetCrashLoggingForTesting();

}  // namespace base::debug

#endif  // BASE_DEBUG_CRASH_LOGGING_H_
