// Strict JSON (RFC 8259) text to base::Value.
//
// One top-level value of any kind, optionally surrounded by white space (space,
// tab, line feed, carriage return). No comments, no trailing commas, no
// single quotes, no NaN/Infinity, no control characters inside strings. Input
// must be UTF-8: a byte-order mark is skipped, invalid UTF-8 inside strings is
// an error, and "\uXXXX" escapes are combined into UTF-8 (a lone surrogate
// escape is an error). Numbers without fraction or exponent that fit in 32 bits
// become INTEGER, every other number DOUBLE. Duplicate keys: the last one wins.
// Nesting deeper than kStackMaxDepth (200) is refused.
//
// Errors read "Line: <l>, column: <c>, <message>", 1-based, the column counted
// in bytes from the start of the line. Messages:
//   "Unexpected token."                 a character that cannot start or continue
//   "Syntax error."                     a malformed literal or number
//   "Invalid escape sequence."          a bad "\" escape, or a lone surrogate
//   "Unexpected end of input."          the text ends inside a value
//   "Trailing comma not allowed."       "[1,]" or {"a":1,}
//   "Dictionary keys must be quoted."   {a:1}
//   "Unexpected data after root element."
//   "Too much nesting."
//   "Unsupported encoding. JSON must be UTF-8."  invalid UTF-8 in a string
//   "Invalid control character in string."
//   "Number cannot be represented."     a number too large for a double
// Empty input (or white space only) is "Unexpected end of input.".
// Nothing is thrown.

#ifndef BASE_JSON_JSON_READER_H_
#define BASE_JSON_JSON_READER_H_

#include <optional>
#include <string>
#include <string_view>

#include "base/values.h"

namespace base {

enum JSONParserOptions {
  // Strict RFC 8259; the only mode there is.
  JSON_PARSE_RFC = 0,
};

class JSONReader {
 public:
  static constexpr int kStackMaxDepth = 200;

  struct Error {
    // The full text: "Line: 3, column: 7, Unexpected token."
    std::string message;
    int line = 0;
    int column = 0;
  };

  // A value or, on failure, the error (error.message empty on success).
  struct Result {
    std::optional<Value> value;
    Error error;

    bool has_value() const { return value.has_value(); }
    explicit operator bool() const { return value.has_value(); }
  };

  static std::optional<Value> Read(std::string_view json, int options = JSON_PARSE_RFC);
  // Like Read, but only an object is accepted (anything else gives nullopt).
  static std::optional<Value::Dict> ReadDict(std::string_view json,
                                             int options = JSON_PARSE_RFC);
  static Result ReadAndReturnValueWithError(std::string_view json,
                                            int options = JSON_PARSE_RFC);
};

}  // namespace base

#endif  // BASE_JSON_JSON_READER_H_
