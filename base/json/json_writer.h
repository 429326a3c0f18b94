// base::Value to JSON text.
//
// Default output is compact: no spaces, no line breaks. Dictionary keys come
// out in byte order (the Dict's order), list elements in list order. Strings
// escape '"', '\\', \b, \f, \n, \r, \t, other control characters below 0x20
// as \u00XX (upper-case hex), '<' as \u003C and U+2028, U+2029 as \u2028,
// \u2029, and write everything else (non-ASCII UTF-8 and DEL included) as it
// is; malformed UTF-8 is replaced by U+FFFD. Doubles are
// written in the shortest form that reads back exactly, with ".0" added when
// that form has neither '.' nor an exponent (1.0 -> "1.0", 0.5 -> "0.5",
// 1e21 -> "1e+21"), so a double stays a double after a round trip. Writing
// fails (false, |json| cleared) for NaN or infinite doubles, for BINARY values
// unless OPTIONS_OMIT_BINARY_VALUES is given, and for nesting deeper than
// JSONReader::kStackMaxDepth.

#ifndef BASE_JSON_JSON_WRITER_H_
#define BASE_JSON_JSON_WRITER_H_

#include <optional>
#include <string>

#include "base/values.h"

namespace base {

class JSONWriter {
 public:
  enum Options {
    // BINARY values (and dictionary entries or list elements holding one) are
    // left out instead of failing the write.
    OPTIONS_OMIT_BINARY_VALUES = 1 << 0,
    // A double that holds a whole number within +-2^53 is written as an integer.
    OPTIONS_OMIT_DOUBLE_TYPE_PRESERVATION = 1 << 1,
    // Three-space indentation, one member or element per line, "key": value,
    // every line (the last one too) ending in "\n".
    OPTIONS_PRETTY_PRINT = 1 << 2,
  };

  static bool Write(const Value& node, std::string* json);
  static bool Write(const Value::Dict& node, std::string* json);
  static bool Write(const Value::List& node, std::string* json);
  static bool WriteWithOptions(const Value& node, int options, std::string* json);
  static bool WriteWithOptions(const Value::Dict& node, int options, std::string* json);
  static bool WriteWithOptions(const Value::List& node, int options, std::string* json);
};

// The text, or nullopt when writing fails.
std::optional<std::string> WriteJson(const Value& node);
std::optional<std::string> WriteJsonWithOptions(const Value& node, int options);

}  // namespace base

#endif  // BASE_JSON_JSON_WRITER_H_
