// Random (version 4) GUID texts: "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx" in
// lower-case hexadecimal, y one of 8, 9, a, b; 122 random bits from the
// system's cryptographic generator.

#ifndef BASE_GUID_H_
#define BASE_GUID_H_

#include <string>
#include <string_view>

namespace base {

// A fresh random GUID text. Empty only when the system generator fails (logged).
std::string GenerateGUID();

// True for 36 characters in the 8-4-4-4-12 form of hexadecimal digits of
// either case (any version). The braces form is not accepted.
bool IsValidGUID(std::string_view guid);
bool IsValidGUID(std::wstring_view guid);
// The same but lower-case digits only, as GenerateGUID writes them.
bool IsValidGUIDOutputString(std::string_view guid);

}  // namespace base

#endif  // BASE_GUID_H_
