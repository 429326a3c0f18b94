// The crash keys of a client as the reporter annotates a dump with them: the
// client's entries validated, and chunked keys ("URL-1", "URL-2", ...) joined
// back into one value in chunk order. A plain entry of a key wins over its
// chunks; of two plain entries of one name the first wins.

#ifndef CRASH_REPORTING_CRASH_KEY_MAP_H_
#define CRASH_REPORTING_CRASH_KEY_MAP_H_

#include <map>
#include <string>
#include <vector>

#include "crash/crash_pipe_protocol.h"

namespace crash_reporting {

using CrashKeyMap = std::map<std::wstring, std::wstring>;

// A name of 1 to 63 units, each an ASCII letter, digit, ".", "-" or "_", other
// than "unspecified-crash-key".
bool IsValidCrashKeyName(const std::wstring& name);

CrashKeyMap BuildCrashKeyMap(const std::vector<crash::CustomInfoEntry>& entries);

}  // namespace crash_reporting

#endif  // CRASH_REPORTING_CRASH_KEY_MAP_H_
