#include "base/json/json_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

constexpr char kUnexpectedToken[] = "Unexpected token.";
constexpr char kSyntaxError[] = "Syntax error.";
constexpr char kInvalidEscape[] = "Invalid escape sequence.";
constexpr char kUnexpectedEnd[] = "Unexpected end of input.";
constexpr char kTrailingComma[] = "Trailing comma not allowed.";
constexpr char kUnquotedKey[] = "Dictionary keys must be quoted.";
constexpr char kDataAfterRoot[] = "Unexpected data after root element.";
constexpr char kTooMuchNesting[] = "Too much nesting.";
constexpr char kUnsupportedEncoding[] = "Unsupported encoding. JSON must be UTF-8.";
constexpr char kControlCharacter[] = "Invalid control character in string.";
constexpr char kUnrepresentableNumber[] = "Number cannot be represented.";

void AppendCodePoint(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// A recursive-descent parser over the bytes. It tracks line starts so that
// errors can name the line and the column of the offending byte.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  JSONReader::Result Parse() {
    JSONReader::Result result;
    // A UTF-8 byte-order mark is tolerated; it carries no content.
    if (StartsWith(text_, "\xEF\xBB\xBF")) pos_ = 3;
    SkipWhitespace();
    std::optional<Value> value = ParseValue(0);
    if (value) {
      SkipWhitespace();
      if (pos_ < text_.size()) {
        Fail(kDataAfterRoot);
        value.reset();
      }
    }
    if (value) {
      result.value = std::move(value);
    } else {
      result.error = error_;
    }
    return result;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }

  void Advance() {
    if (text_[pos_] == '\n') {
      ++line_;
      line_start_ = pos_ + 1;
    }
    ++pos_;
  }

  void SkipWhitespace() {
    while (!AtEnd()) {
      const char c = Peek();
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      Advance();
    }
  }

  // Records the first failure, at the current position.
  void Fail(const char* message) { FailAt(pos_, message); }
  void FailAt(size_t pos, const char* message) {
    if (!error_.message.empty()) return;
    error_.line = line_;
    error_.column = static_cast<int>(pos - line_start_) + 1;
    error_.message = StringPrintf("Line: %d, column: %d, %s", error_.line, error_.column, message);
  }

  std::optional<Value> ParseValue(int depth) {
    if (AtEnd()) {
      Fail(kUnexpectedEnd);
      return std::nullopt;
    }
    switch (Peek()) {
      case '{': return ParseObject(depth + 1);
      case '[': return ParseArray(depth + 1);
      case '"': {
        std::string s;
        if (!ParseString(&s)) return std::nullopt;
        return Value(std::move(s));
      }
      case 't': return ParseLiteral("true", Value(true));
      case 'f': return ParseLiteral("false", Value(false));
      case 'n': return ParseLiteral("null", Value());
      default:
        if (Peek() == '-' || IsAsciiDigit(Peek())) return ParseNumber();
        Fail(kUnexpectedToken);
        return std::nullopt;
    }
  }

  std::optional<Value> ParseLiteral(std::string_view literal, Value value) {
    for (char expected : literal) {
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return std::nullopt;
      }
      if (Peek() != expected) {
        Fail(kSyntaxError);
        return std::nullopt;
      }
      Advance();
    }
    return value;
  }

  std::optional<Value> ParseObject(int depth) {
    if (depth > JSONReader::kStackMaxDepth) {
      Fail(kTooMuchNesting);
      return std::nullopt;
    }
    Advance();  // '{'
    Value::Dict dict;
    SkipWhitespace();
    if (!AtEnd() && Peek() == '}') {
      Advance();
      return Value(std::move(dict));
    }
    while (true) {
      SkipWhitespace();
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return std::nullopt;
      }
      if (Peek() != '"') {
        Fail(Peek() == '}' ? kTrailingComma : IsAsciiAlpha(Peek()) ? kUnquotedKey : kUnexpectedToken);
        return std::nullopt;
      }
      std::string key;
      if (!ParseString(&key)) return std::nullopt;
      SkipWhitespace();
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return std::nullopt;
      }
      if (Peek() != ':') {
        Fail(kUnexpectedToken);
        return std::nullopt;
      }
      Advance();
      SkipWhitespace();
      std::optional<Value> value = ParseValue(depth);
      if (!value) return std::nullopt;
      dict.Set(key, std::move(*value));
      SkipWhitespace();
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return std::nullopt;
      }
      if (Peek() == '}') {
        Advance();
        return Value(std::move(dict));
      }
      if (Peek() != ',') {
        Fail(kUnexpectedToken);
        return std::nullopt;
      }
      Advance();
    }
  }

  std::optional<Value> ParseArray(int depth) {
    if (depth > JSONReader::kStackMaxDepth) {
      Fail(kTooMuchNesting);
      return std::nullopt;
    }
    Advance();  // '['
    Value::List list;
    SkipWhitespace();
    if (!AtEnd() && Peek() == ']') {
      Advance();
      return Value(std::move(list));
    }
    while (true) {
      SkipWhitespace();
      if (!AtEnd() && Peek() == ']') {
        Fail(kTrailingComma);
        return std::nullopt;
      }
      std::optional<Value> value = ParseValue(depth);
      if (!value) return std::nullopt;
      list.Append(std::move(*value));
      SkipWhitespace();
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return std::nullopt;
      }
      if (Peek() == ']') {
        Advance();
        return Value(std::move(list));
      }
      if (Peek() != ',') {
        Fail(kUnexpectedToken);
        return std::nullopt;
      }
      Advance();
    }
  }

  // Four hex digits after "\u"; false (with the error set) otherwise.
  bool ParseHex4(uint32_t* unit) {
    *unit = 0;
    for (int i = 0; i < 4; ++i) {
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return false;
      }
      if (!IsHexDigit(Peek())) {
        Fail(kInvalidEscape);
        return false;
      }
      *unit = *unit * 16 + static_cast<uint32_t>(HexDigitToInt(Peek()));
      Advance();
    }
    return true;
  }

  bool ParseString(std::string* out) {
    Advance();  // '"'
    while (true) {
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return false;
      }
      const unsigned char c = static_cast<unsigned char>(Peek());
      if (c == '"') {
        Advance();
        return true;
      }
      if (c < 0x20) {
        Fail(kControlCharacter);
        return false;
      }
      if (c >= 0x80) {
        const size_t start = pos_;
        uint32_t code_point;
        if (!ReadUnicodeCharacter(text_, &pos_, &code_point)) {
          FailAt(start, kUnsupportedEncoding);
          return false;
        }
        out->append(text_.substr(start, pos_ - start));
        continue;
      }
      if (c != '\\') {
        out->push_back(static_cast<char>(c));
        Advance();
        continue;
      }
      const size_t escape_start = pos_;
      Advance();
      if (AtEnd()) {
        Fail(kUnexpectedEnd);
        return false;
      }
      const char e = Peek();
      Advance();
      switch (e) {
        case '"': out->push_back('"'); break;
        case '\\': out->push_back('\\'); break;
        case '/': out->push_back('/'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u': {
          uint32_t unit;
          if (!ParseHex4(&unit)) return false;
          if (unit >= 0xDC00 && unit <= 0xDFFF) {
            FailAt(escape_start, kInvalidEscape);
            return false;
          }
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A high surrogate must be followed by an escaped low surrogate.
            if (pos_ + 1 >= text_.size() || text_[pos_] != '\\' || text_[pos_ + 1] != 'u') {
              FailAt(escape_start, kInvalidEscape);
              return false;
            }
            Advance();
            Advance();
            uint32_t low;
            if (!ParseHex4(&low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) {
              FailAt(escape_start, kInvalidEscape);
              return false;
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendCodePoint(unit, out);
          break;
        }
        default:
          FailAt(escape_start, kInvalidEscape);
          return false;
      }
    }
  }

  std::optional<Value> ParseNumber() {
    const size_t start = pos_;
    if (Peek() == '-') Advance();
    if (AtEnd()) {
      Fail(kUnexpectedEnd);
      return std::nullopt;
    }
    if (Peek() == '0') {
      Advance();
    } else if (IsAsciiDigit(Peek())) {
      while (!AtEnd() && IsAsciiDigit(Peek())) Advance();
    } else {
      Fail(kSyntaxError);
      return std::nullopt;
    }
    bool integral = true;
    if (!AtEnd() && Peek() == '.') {
      integral = false;
      Advance();
      if (AtEnd() || !IsAsciiDigit(Peek())) {
        Fail(AtEnd() ? kUnexpectedEnd : kSyntaxError);
        return std::nullopt;
      }
      while (!AtEnd() && IsAsciiDigit(Peek())) Advance();
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      integral = false;
      Advance();
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) Advance();
      if (AtEnd() || !IsAsciiDigit(Peek())) {
        Fail(AtEnd() ? kUnexpectedEnd : kSyntaxError);
        return std::nullopt;
      }
      while (!AtEnd() && IsAsciiDigit(Peek())) Advance();
    }
    // "01" or "1x": the number ended but something glued to it follows.
    if (!AtEnd() && (IsAsciiDigit(Peek()) || IsAsciiAlpha(Peek()) || Peek() == '.')) {
      Fail(kSyntaxError);
      return std::nullopt;
    }
    const std::string_view number = text_.substr(start, pos_ - start);
    if (integral) {
      int value;
      if (StringToInt(number, &value)) return Value(value);
    }
    double value;
    if (!StringToDouble(number, &value) || !std::isfinite(value)) {
      FailAt(start, kUnrepresentableNumber);
      return std::nullopt;
    }
    return Value(value);
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
  size_t line_start_ = 0;
  JSONReader::Error error_;
};

}  // namespace

std::optional<Value> JSONReader::Read(std::string_view json, int options) {
  return ReadAndReturnValueWithError(json, options).value;
}

std::optional<Value::Dict> JSONReader::ReadDict(std::string_view json, int options) {
  std::optional<Value> value = Read(json, options);
  if (!value || !value->is_dict()) return std::nullopt;
  return std::move(*value).TakeDict();
}

JSONReader::Result JSONReader::ReadAndReturnValueWithError(std::string_view json, int options) {
  (void)options;
  return Parser(json).Parse();
}

}  // namespace base
