#include "desktop/windows/installer/service/parse_json_dictionary.h"

#include <string>

#include "base/base64.h"
#include "base/json/json_reader.h"
#include "base/strings/string_util.h"

namespace installer {

std::optional<base::Value::Dict> ParseJsonDictionary(std::string_view base64_text) {
  std::string_view trimmed = base::TrimWhitespaceASCII(base64_text, base::TRIM_TRAILING);
  std::string decoded;
  if (!base::Base64Decode(trimmed, &decoded))
    return std::nullopt;
  size_t begin = decoded.find('{');
  size_t end = decoded.rfind('}');
  if (begin == std::string::npos || end == std::string::npos || end < begin)
    return std::nullopt;
  std::optional<base::Value> value =
      base::JSONReader::Read(std::string_view(decoded).substr(begin, end - begin + 1));
  if (!value || !value->is_dict())
    return std::nullopt;
  return std::move(value->GetDict());
}

}  // namespace installer
