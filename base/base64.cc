#include "base/base64.h"

namespace base {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DecodeChar(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

template <typename Out>
bool DecodeInto(std::string_view input, Out* output) {
  output->clear();
  if (input.size() % 4 != 0) return false;
  output->reserve(input.size() / 4 * 3);
  for (size_t i = 0; i < input.size(); i += 4) {
    const bool last = i + 4 == input.size();
    int values[4];
    int padding = 0;
    for (int j = 0; j < 4; ++j) {
      const char c = input[i + j];
      if (c == '=' && last && j >= 2) {
        values[j] = 0;
        ++padding;
        continue;
      }
      // Data after padding ("ab=c") or padding anywhere else is invalid.
      if (padding > 0) return false;
      values[j] = DecodeChar(c);
      if (values[j] < 0) return false;
    }
    const unsigned group = (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
    // The bits that padding leaves unused must be zero, so that each text has
    // one decoding and each byte string one text.
    if ((padding == 1 && (group & 0xFF)) || (padding == 2 && (group & 0xFFFF))) return false;
    output->push_back(static_cast<typename Out::value_type>((group >> 16) & 0xFF));
    if (padding < 2) output->push_back(static_cast<typename Out::value_type>((group >> 8) & 0xFF));
    if (padding < 1) output->push_back(static_cast<typename Out::value_type>(group & 0xFF));
  }
  return true;
}

}  // namespace

void Base64Encode(std::string_view input, std::string* output) {
  std::string result;
  result.reserve((input.size() + 2) / 3 * 4);
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(input[i]); };
  size_t i = 0;
  for (; i + 3 <= input.size(); i += 3) {
    const unsigned group = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
    result.push_back(kAlphabet[(group >> 18) & 63]);
    result.push_back(kAlphabet[(group >> 12) & 63]);
    result.push_back(kAlphabet[(group >> 6) & 63]);
    result.push_back(kAlphabet[group & 63]);
  }
  const size_t rest = input.size() - i;
  if (rest > 0) {
    const unsigned group = (byte(i) << 16) | (rest == 2 ? byte(i + 1) << 8 : 0);
    result.push_back(kAlphabet[(group >> 18) & 63]);
    result.push_back(kAlphabet[(group >> 12) & 63]);
    result.push_back(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
    result.push_back('=');
  }
  output->swap(result);
}

std::string Base64Encode(std::string_view input) {
  std::string output;
  Base64Encode(input, &output);
  return output;
}

std::string Base64Encode(const std::vector<uint8_t>& input) {
  return Base64Encode(
      std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
}

bool Base64Decode(std::string_view input, std::string* output) {
  if (DecodeInto(input, output)) return true;
  output->clear();
  return false;
}

std::optional<std::vector<uint8_t>> Base64DecodeToBytes(std::string_view input) {
  std::vector<uint8_t> output;
  if (!DecodeInto(input, &output)) return std::nullopt;
  return output;
}

}  // namespace base
