#include "base/json/json_writer.h"

#include <cmath>

#include "base/json/json_reader.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/stringprintf.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

constexpr char kPrettyIndent[] = "   ";

// Writes |raw| as a JSON string. Besides what JSON requires, "<" is escaped
// (the text may end up inside an HTML script block) and so are U+2028 and
// U+2029 (line terminators in JavaScript). Malformed UTF-8 becomes U+FFFD.
void EscapeString(std::string_view raw, std::string* out) {
  out->push_back('"');
  size_t index = 0;
  while (index < raw.size()) {
    const size_t start = index;
    uint32_t code_point;
    if (!ReadUnicodeCharacter(raw, &index, &code_point)) {
      out->append("\xEF\xBF\xBD");
      continue;
    }
    switch (code_point) {
      case '"': out->append("\\\""); break;
      case '\\': out->append("\\\\"); break;
      case '\b': out->append("\\b"); break;
      case '\f': out->append("\\f"); break;
      case '\n': out->append("\\n"); break;
      case '\r': out->append("\\r"); break;
      case '\t': out->append("\\t"); break;
      case '<': out->append("\\u003C"); break;
      case 0x2028: out->append("\\u2028"); break;
      case 0x2029: out->append("\\u2029"); break;
      default:
        if (code_point < 0x20) {
          StringAppendF(out, "\\u%04X", static_cast<unsigned>(code_point));
        } else {
          out->append(raw.substr(start, index - start));
        }
    }
  }
  out->push_back('"');
}

class Writer {
 public:
  Writer(int options, std::string* out)
      : omit_binary_(options & JSONWriter::OPTIONS_OMIT_BINARY_VALUES),
        omit_double_type_(options & JSONWriter::OPTIONS_OMIT_DOUBLE_TYPE_PRESERVATION),
        pretty_(options & JSONWriter::OPTIONS_PRETTY_PRINT),
        out_(out) {}

  bool WriteTop(const Value& node) {
    if (!Write(node, 0)) return false;
    if (pretty_) out_->push_back('\n');
    return true;
  }
  bool WriteDict(const Value::Dict& dict, int depth) {
    if (depth >= JSONReader::kStackMaxDepth) return false;
    out_->push_back('{');
    bool first = true;
    for (const auto& [key, value] : dict) {
      if (omit_binary_ && value.is_blob()) continue;
      if (!first) out_->push_back(',');
      NewLine(depth + 1);
      EscapeString(key, out_);
      out_->append(pretty_ ? ": " : ":");
      if (!Write(value, depth + 1)) return false;
      first = false;
    }
    if (!first) NewLine(depth);
    out_->push_back('}');
    return true;
  }
  bool WriteList(const Value::List& list, int depth) {
    if (depth >= JSONReader::kStackMaxDepth) return false;
    out_->push_back('[');
    bool first = true;
    for (const Value& value : list) {
      if (omit_binary_ && value.is_blob()) continue;
      if (!first) out_->push_back(',');
      NewLine(depth + 1);
      if (!Write(value, depth + 1)) return false;
      first = false;
    }
    if (!first) NewLine(depth);
    out_->push_back(']');
    return true;
  }

 private:
  void NewLine(int depth) {
    if (!pretty_) return;
    out_->push_back('\n');
    for (int i = 0; i < depth; ++i) out_->append(kPrettyIndent);
  }

  bool Write(const Value& node, int depth) {
    switch (node.type()) {
      case Value::Type::NONE: out_->append("null"); return true;
      case Value::Type::BOOLEAN: out_->append(node.GetBool() ? "true" : "false"); return true;
      case Value::Type::INTEGER: out_->append(NumberToString(node.GetInt())); return true;
      case Value::Type::DOUBLE: return WriteDouble(node.GetDouble());
      case Value::Type::STRING: EscapeString(node.GetString(), out_); return true;
      case Value::Type::BINARY: return false;  // omitted ones never reach here
      case Value::Type::DICT: return WriteDict(node.GetDict(), depth);
      case Value::Type::LIST: return WriteList(node.GetList(), depth);
    }
    return false;
  }

  bool WriteDouble(double value) {
    if (!std::isfinite(value)) return false;
    constexpr double kMaxExact = 9007199254740992.0;  // 2^53
    if (omit_double_type_ && value == std::floor(value) && std::fabs(value) <= kMaxExact) {
      out_->append(NumberToString(static_cast<long long>(value)));
      return true;
    }
    std::string text = NumberToString(value);
    if (text.find_first_of(".eE") == std::string::npos) text.append(".0");
    out_->append(text);
    return true;
  }

  const bool omit_binary_;
  const bool omit_double_type_;
  const bool pretty_;
  std::string* out_;
};

template <typename Node>
bool WriteNode(const Node& node, int options, std::string* json) {
  json->clear();
  Writer writer(options, json);
  bool ok;
  if constexpr (std::is_same_v<Node, Value>) {
    ok = writer.WriteTop(node);
  } else if constexpr (std::is_same_v<Node, Value::Dict>) {
    ok = writer.WriteDict(node, 0);
    if (ok && (options & JSONWriter::OPTIONS_PRETTY_PRINT)) json->push_back('\n');
  } else {
    ok = writer.WriteList(node, 0);
    if (ok && (options & JSONWriter::OPTIONS_PRETTY_PRINT)) json->push_back('\n');
  }
  if (!ok) json->clear();
  return ok;
}

}  // namespace

bool JSONWriter::Write(const Value& node, std::string* json) {
  return WriteNode(node, 0, json);
}
bool JSONWriter::Write(const Value::Dict& node, std::string* json) {
  return WriteNode(node, 0, json);
}
bool JSONWriter::Write(const Value::List& node, std::string* json) {
  return WriteNode(node, 0, json);
}
bool JSONWriter::WriteWithOptions(const Value& node, int options, std::string* json) {
  return WriteNode(node, options, json);
}
bool JSONWriter::WriteWithOptions(const Value::Dict& node, int options, std::string* json) {
  return WriteNode(node, options, json);
}
bool JSONWriter::WriteWithOptions(const Value::List& node, int options, std::string* json) {
  return WriteNode(node, options, json);
}

std::optional<std::string> WriteJson(const Value& node) {
  return WriteJsonWithOptions(node, 0);
}
std::optional<std::string> WriteJsonWithOptions(const Value& node, int options) {
  std::string json;
  if (!JSONWriter::WriteWithOptions(node, options, &json)) return std::nullopt;
  return json;
}

}  // namespace base
