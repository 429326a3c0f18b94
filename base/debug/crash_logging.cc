#include "base/debug/crash_logging.h"

#include <algorithm>

#include "base/strings/stringprintf.h"

namespace base::debug {

namespace {

const CrashKey* g_keys = nullptr;
size_t g_key_count = 0;
size_t g_chunk_max_length = 0;
SetCrashKeyValueFunction g_set = nullptr;
ClearCrashKeyValueFunction g_clear = nullptr;

}  // namespace

size_t InitCrashKeys(const CrashKey* keys, size_t count, size_t chunk_max_length) {
  g_keys = keys;
  g_key_count = count;
  g_chunk_max_length = chunk_max_length;
  return count;
}

void SetCrashKeyReportingFunctions(SetCrashKeyValueFunction set, ClearCrashKeyValueFunction clear) {
  g_set = set;
  g_clear = clear;
}

const CrashKey* LookupCrashKey(std::string_view key) {
  for (size_t i = 0; i < g_key_count; ++i) {
    if (key == g_keys[i].key_name)
      return &g_keys[i];
  }
  return nullptr;
}

size_t GetChunkMaxLength() {
  return g_chunk_max_length;
}

size_t ChunkCount(const CrashKey& crash_key) {
  if (g_chunk_max_length == 0 || crash_key.max_length <= g_chunk_max_length)
    return 1;
  return (crash_key.max_length + g_chunk_max_length - 1) / g_chunk_max_length;
}

std::string ChunkName(std::string_view key, size_t chunk) {
  return base::StringPrintf("%.*s-%zu", static_cast<int>(key.size()), key.data(), chunk);
}

void SetCrashKeyValue(std::string_view key, std::string_view value) {
  if (!g_set)
    return;
  const CrashKey* crash_key = LookupCrashKey(key);
  if (!crash_key) {
    g_set(key, value);
    return;
  }
  value = value.substr(0, crash_key->max_length);
  size_t chunks = ChunkCount(*crash_key);
  if (chunks == 1) {
    g_set(key, value);
    return;
  }
  for (size_t i = 0; i < chunks; ++i) {
    size_t offset = i * g_chunk_max_length;
    std::string name = ChunkName(key, i + 1);
    if (offset < value.size())
      g_set(name, value.substr(offset, g_chunk_max_length));
    else if (g_clear)
      g_clear(name);
  }
}

void ClearCrashKey(std::string_view key) {
  if (!g_clear)
    return;
  const CrashKey* crash_key = LookupCrashKey(key);
  size_t chunks = crash_key ? ChunkCount(*crash_key) : 1;
  if (chunks == 1) {
    g_clear(key);
    return;
  }
  for (size_t i = 0; i < chunks; ++i)
    g_clear(ChunkName(key, i + 1));
}

void ResetCrashLoggingForTesting() {
  g_keys = nullptr;
  g_key_count = 0;
  g_chunk_max_length = 0;
  g_set = nullptr;
  g_clear = nullptr;
}

}  // namespace base::debug
