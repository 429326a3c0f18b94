// Decodes tracking text handed over in Base64 into a JSON dictionary. The
// decoded bytes may carry other bytes around the object: everything from the
// first "{" to the last "}" must be one JSON object.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_PARSE_JSON_DICTIONARY_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_PARSE_JSON_DICTIONARY_H_

#include <optional>
#include <string_view>

#include "base/values.h"

namespace installer {

// Trailing ASCII white space of |base64_text| is ignored. nullopt when the
// text is not Base64, holds no braces in order, or the braced part is not a
// JSON object.
std::optional<base::Value::Dict> ParseJsonDictionary(std::string_view base64_text);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_PARSE_JSON_DICTIONARY_H_
