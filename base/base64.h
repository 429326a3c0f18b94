// Base64 with the standard alphabet (A-Z a-z 0-9 + /) and '=' padding, as in
// RFC 4648 section 4. Decoding is strict: the length must be a multiple of 4,
// padding only at the end (at most two '='), no white space or other
// characters, and the unused bits of the last group must be zero.

#ifndef BASE_BASE64_H_
#define BASE_BASE64_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

std::string Base64Encode(std::string_view input);
std::string Base64Encode(const std::vector<uint8_t>& input);
void Base64Encode(std::string_view input, std::string* output);

// False (and |output| cleared) for input that is not valid Base64.
bool Base64Decode(std::string_view input, std::string* output);
std::optional<std::vector<uint8_t>> Base64DecodeToBytes(std::string_view input);

}  // namespace base

#endif  // BASE_BASE64_H_
