#include "base/values.h"

#include <algorithm>

#include "base/json/json_writer.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

// Splits "a.b.c" into its first component and the rest ("" when last).
std::pair<std::string_view, std::string_view> SplitFirst(std::string_view path) {
  const size_t dot = path.find('.');
  if (dot == std::string_view::npos) return {path, std::string_view()};
  return {path.substr(0, dot), path.substr(dot + 1)};
}

bool IsValidPath(std::string_view path) {
  if (path.empty()) return false;
  size_t start = 0;
  while (true) {
    const size_t dot = path.find('.', start);
    if (dot == start) return false;  // empty component
    if (dot == std::string_view::npos) return true;
    if (dot + 1 == path.size()) return false;
    start = dot + 1;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Value

Value::Value() = default;

Value::Value(Type type) {
  switch (type) {
    case Type::NONE: break;
    case Type::BOOLEAN: data_ = false; break;
    case Type::INTEGER: data_ = 0; break;
    case Type::DOUBLE: data_ = 0.0; break;
    case Type::STRING: data_ = std::string(); break;
    case Type::BINARY: data_ = BlobStorage(); break;
    case Type::DICT: data_ = Dict(); break;
    case Type::LIST: data_ = List(); break;
  }
}

Value::Value(bool value) : data_(value) {}
Value::Value(int value) : data_(value) {}
Value::Value(double value) : data_(value) {}
Value::Value(std::string_view value) : data_(std::string(value)) {}
Value::Value(const char* value) : data_(std::string(value)) {}
Value::Value(std::string&& value) : data_(std::move(value)) {}
Value::Value(std::wstring_view value) : data_(WideToUTF8(value)) {}
Value::Value(const wchar_t* value) : data_(WideToUTF8(value)) {}
Value::Value(BlobStorage&& value) : data_(std::move(value)) {}
Value::Value(Dict&& value) : data_(std::move(value)) {}
Value::Value(List&& value) : data_(std::move(value)) {}

Value::Value(Value&&) noexcept = default;
Value& Value::operator=(Value&&) noexcept = default;
Value::~Value() = default;

Value Value::Clone() const {
  switch (type()) {
    case Type::NONE: return Value();
    case Type::BOOLEAN: return Value(GetBool());
    case Type::INTEGER: return Value(GetInt());
    case Type::DOUBLE: return Value(std::get<double>(data_));
    case Type::STRING: return Value(GetString());
    case Type::BINARY: return Value(BlobStorage(GetBlob()));
    case Type::DICT: return Value(GetDict().Clone());
    case Type::LIST: return Value(GetList().Clone());
  }
  return Value();
}

const char* Value::GetTypeName(Type type) {
  switch (type) {
    case Type::NONE: return "null";
    case Type::BOOLEAN: return "boolean";
    case Type::INTEGER: return "integer";
    case Type::DOUBLE: return "double";
    case Type::STRING: return "string";
    case Type::BINARY: return "binary";
    case Type::DICT: return "dictionary";
    case Type::LIST: return "list";
  }
  return "unknown";
}

std::optional<bool> Value::GetIfBool() const {
  return is_bool() ? std::optional<bool>(std::get<bool>(data_)) : std::nullopt;
}
std::optional<int> Value::GetIfInt() const {
  return is_int() ? std::optional<int>(std::get<int>(data_)) : std::nullopt;
}
std::optional<double> Value::GetIfDouble() const {
  if (is_double()) return std::get<double>(data_);
  if (is_int()) return static_cast<double>(std::get<int>(data_));
  return std::nullopt;
}
const std::string* Value::GetIfString() const { return std::get_if<std::string>(&data_); }
std::string* Value::GetIfString() { return std::get_if<std::string>(&data_); }
const Value::BlobStorage* Value::GetIfBlob() const { return std::get_if<BlobStorage>(&data_); }
const Value::Dict* Value::GetIfDict() const { return std::get_if<Dict>(&data_); }
Value::Dict* Value::GetIfDict() { return std::get_if<Dict>(&data_); }
const Value::List* Value::GetIfList() const { return std::get_if<List>(&data_); }
Value::List* Value::GetIfList() { return std::get_if<List>(&data_); }

bool Value::GetBool() const {
  CHECK(is_bool()) << GetTypeName(type());
  return std::get<bool>(data_);
}
int Value::GetInt() const {
  CHECK(is_int()) << GetTypeName(type());
  return std::get<int>(data_);
}
double Value::GetDouble() const {
  const std::optional<double> value = GetIfDouble();
  CHECK(value.has_value()) << GetTypeName(type());
  return *value;
}
const std::string& Value::GetString() const {
  CHECK(is_string()) << GetTypeName(type());
  return std::get<std::string>(data_);
}
std::string& Value::GetString() {
  CHECK(is_string()) << GetTypeName(type());
  return std::get<std::string>(data_);
}
const Value::BlobStorage& Value::GetBlob() const {
  CHECK(is_blob()) << GetTypeName(type());
  return std::get<BlobStorage>(data_);
}
const Value::Dict& Value::GetDict() const {
  CHECK(is_dict()) << GetTypeName(type());
  return std::get<Dict>(data_);
}
Value::Dict& Value::GetDict() {
  CHECK(is_dict()) << GetTypeName(type());
  return std::get<Dict>(data_);
}
const Value::List& Value::GetList() const {
  CHECK(is_list()) << GetTypeName(type());
  return std::get<List>(data_);
}
Value::List& Value::GetList() {
  CHECK(is_list()) << GetTypeName(type());
  return std::get<List>(data_);
}

std::string Value::TakeString() && { return std::move(GetString()); }
Value::Dict Value::TakeDict() && { return std::move(GetDict()); }
Value::List Value::TakeList() && { return std::move(GetList()); }

bool operator==(const Value& a, const Value& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Value::Type::NONE: return true;
    case Value::Type::BOOLEAN: return a.GetBool() == b.GetBool();
    case Value::Type::INTEGER: return a.GetInt() == b.GetInt();
    case Value::Type::DOUBLE: return a.GetDouble() == b.GetDouble();
    case Value::Type::STRING: return a.GetString() == b.GetString();
    case Value::Type::BINARY: return a.GetBlob() == b.GetBlob();
    case Value::Type::DICT: return a.GetDict() == b.GetDict();
    case Value::Type::LIST: return a.GetList() == b.GetList();
  }
  return false;
}

std::string Value::DebugString() const {
  std::string json;
  JSONWriter::WriteWithOptions(*this, JSONWriter::OPTIONS_OMIT_BINARY_VALUES, &json);
  return json;
}

std::ostream& operator<<(std::ostream& out, const Value& value) {
  return out << value.DebugString();
}
std::ostream& operator<<(std::ostream& out, const Value::Dict& dict) {
  return out << Value(dict.Clone());
}
std::ostream& operator<<(std::ostream& out, const Value::List& list) {
  return out << Value(list.Clone());
}
std::ostream& operator<<(std::ostream& out, Value::Type type) {
  return out << Value::GetTypeName(type);
}

// ---------------------------------------------------------------------------
// Value::Dict

Value::Dict::Dict() = default;
Value::Dict::Dict(Dict&&) noexcept = default;
Value::Dict& Value::Dict::operator=(Dict&&) noexcept = default;
Value::Dict::~Dict() = default;

Value::Dict Value::Dict::Clone() const {
  Dict copy;
  for (const auto& [key, value] : storage_) copy.storage_.emplace_hint(copy.storage_.end(), key, value.Clone());
  return copy;
}

bool Value::Dict::contains(std::string_view key) const {
  return storage_.find(key) != storage_.end();
}

const Value* Value::Dict::Find(std::string_view key) const {
  const auto it = storage_.find(key);
  return it == storage_.end() ? nullptr : &it->second;
}
Value* Value::Dict::Find(std::string_view key) {
  const auto it = storage_.find(key);
  return it == storage_.end() ? nullptr : &it->second;
}
std::optional<bool> Value::Dict::FindBool(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfBool() : std::nullopt;
}
std::optional<int> Value::Dict::FindInt(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfInt() : std::nullopt;
}
std::optional<double> Value::Dict::FindDouble(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfDouble() : std::nullopt;
}
const std::string* Value::Dict::FindString(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfString() : nullptr;
}
std::string* Value::Dict::FindString(std::string_view key) {
  Value* v = Find(key);
  return v ? v->GetIfString() : nullptr;
}
const Value::BlobStorage* Value::Dict::FindBlob(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfBlob() : nullptr;
}
const Value::Dict* Value::Dict::FindDict(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfDict() : nullptr;
}
Value::Dict* Value::Dict::FindDict(std::string_view key) {
  Value* v = Find(key);
  return v ? v->GetIfDict() : nullptr;
}
const Value::List* Value::Dict::FindList(std::string_view key) const {
  const Value* v = Find(key);
  return v ? v->GetIfList() : nullptr;
}
Value::List* Value::Dict::FindList(std::string_view key) {
  Value* v = Find(key);
  return v ? v->GetIfList() : nullptr;
}

Value* Value::Dict::Set(std::string_view key, Value&& value) {
  const auto it = storage_.find(key);
  if (it != storage_.end()) {
    it->second = std::move(value);
    return &it->second;
  }
  return &storage_.emplace(std::string(key), std::move(value)).first->second;
}
Value* Value::Dict::Set(std::string_view key, bool value) { return Set(key, Value(value)); }
Value* Value::Dict::Set(std::string_view key, int value) { return Set(key, Value(value)); }
Value* Value::Dict::Set(std::string_view key, double value) { return Set(key, Value(value)); }
Value* Value::Dict::Set(std::string_view key, std::string_view value) {
  return Set(key, Value(value));
}
Value* Value::Dict::Set(std::string_view key, const char* value) {
  return Set(key, Value(value));
}
Value* Value::Dict::Set(std::string_view key, std::string&& value) {
  return Set(key, Value(std::move(value)));
}
Value* Value::Dict::Set(std::string_view key, std::wstring_view value) {
  return Set(key, Value(value));
}
Value* Value::Dict::Set(std::string_view key, const wchar_t* value) {
  return Set(key, Value(value));
}
Value* Value::Dict::Set(std::string_view key, BlobStorage&& value) {
  return Set(key, Value(std::move(value)));
}
Value* Value::Dict::Set(std::string_view key, Dict&& value) {
  return Set(key, Value(std::move(value)));
}
Value* Value::Dict::Set(std::string_view key, List&& value) {
  return Set(key, Value(std::move(value)));
}

bool Value::Dict::Remove(std::string_view key) {
  const auto it = storage_.find(key);
  if (it == storage_.end()) return false;
  storage_.erase(it);
  return true;
}

std::optional<Value> Value::Dict::Extract(std::string_view key) {
  const auto it = storage_.find(key);
  if (it == storage_.end()) return std::nullopt;
  std::optional<Value> value(std::move(it->second));
  storage_.erase(it);
  return value;
}

const Value* Value::Dict::FindByDottedPath(std::string_view path) const {
  const Dict* dict = this;
  while (true) {
    const auto [first, rest] = SplitFirst(path);
    const Value* value = dict->Find(first);
    if (!value || rest.data() == nullptr) return value;
    dict = value->GetIfDict();
    if (!dict) return nullptr;
    path = rest;
  }
}
Value* Value::Dict::FindByDottedPath(std::string_view path) {
  return const_cast<Value*>(std::as_const(*this).FindByDottedPath(path));
}
std::optional<bool> Value::Dict::FindBoolByDottedPath(std::string_view path) const {
  const Value* v = FindByDottedPath(path);
  return v ? v->GetIfBool() : std::nullopt;
}
std::optional<int> Value::Dict::FindIntByDottedPath(std::string_view path) const {
  const Value* v = FindByDottedPath(path);
  return v ? v->GetIfInt() : std::nullopt;
}
std::optional<double> Value::Dict::FindDoubleByDottedPath(std::string_view path) const {
  const Value* v = FindByDottedPath(path);
  return v ? v->GetIfDouble() : std::nullopt;
}
const std::string* Value::Dict::FindStringByDottedPath(std::string_view path) const {
  const Value* v = FindByDottedPath(path);
  return v ? v->GetIfString() : nullptr;
}
std::string* Value::Dict::FindStringByDottedPath(std::string_view path) {
  Value* v = FindByDottedPath(path);
  return v ? v->GetIfString() : nullptr;
}
const Value::Dict* Value::Dict::FindDictByDottedPath(std::string_view path) const {
  const Value* v = FindByDottedPath(path);
  return v ? v->GetIfDict() : nullptr;
}
Value::Dict* Value::Dict::FindDictByDottedPath(std::string_view path) {
  Value* v = FindByDottedPath(path);
  return v ? v->GetIfDict() : nullptr;
}
const Value::List* Value::Dict::FindListByDottedPath(std::string_view path) const {
  const Value* v = FindByDottedPath(path);
  return v ? v->GetIfList() : nullptr;
}
Value::List* Value::Dict::FindListByDottedPath(std::string_view path) {
  Value* v = FindByDottedPath(path);
  return v ? v->GetIfList() : nullptr;
}

Value* Value::Dict::SetByDottedPath(std::string_view path, Value&& value) {
  if (!IsValidPath(path)) return nullptr;
  Dict* dict = this;
  while (true) {
    const auto [first, rest] = SplitFirst(path);
    if (rest.data() == nullptr) return dict->Set(first, std::move(value));
    Value* child = dict->Find(first);
    if (!child || !child->is_dict()) child = dict->Set(first, Dict());
    dict = &child->GetDict();
    path = rest;
  }
}
Value* Value::Dict::SetByDottedPath(std::string_view path, bool value) {
  return SetByDottedPath(path, Value(value));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, int value) {
  return SetByDottedPath(path, Value(value));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, double value) {
  return SetByDottedPath(path, Value(value));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, std::string_view value) {
  return SetByDottedPath(path, Value(value));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, const char* value) {
  return SetByDottedPath(path, Value(value));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, std::string&& value) {
  return SetByDottedPath(path, Value(std::move(value)));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, std::wstring_view value) {
  return SetByDottedPath(path, Value(value));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, Dict&& value) {
  return SetByDottedPath(path, Value(std::move(value)));
}
Value* Value::Dict::SetByDottedPath(std::string_view path, List&& value) {
  return SetByDottedPath(path, Value(std::move(value)));
}

std::optional<Value> Value::Dict::ExtractByDottedPath(std::string_view path) {
  const auto [first, rest] = SplitFirst(path);
  if (rest.data() == nullptr) return Extract(first);
  Dict* child = FindDict(first);
  if (!child) return std::nullopt;
  std::optional<Value> value = child->ExtractByDottedPath(rest);
  // Prune the dictionaries this removal emptied.
  if (value && child->empty()) Remove(first);
  return value;
}

bool Value::Dict::RemoveByDottedPath(std::string_view path) {
  return ExtractByDottedPath(path).has_value();
}

void Value::Dict::Merge(Dict&& other) {
  for (auto& [key, value] : other.storage_) {
    if (value.is_dict()) {
      Dict* mine = FindDict(key);
      if (mine) {
        mine->Merge(std::move(value.GetDict()));
        continue;
      }
    }
    Set(key, std::move(value));
  }
  other.storage_.clear();
}

bool Value::Dict::operator==(const Dict& other) const { return storage_ == other.storage_; }

// ---------------------------------------------------------------------------
// Value::List

Value::List::List() = default;
Value::List::List(List&&) noexcept = default;
Value::List& Value::List::operator=(List&&) noexcept = default;
Value::List::~List() = default;

Value::List Value::List::Clone() const {
  List copy;
  copy.storage_.reserve(storage_.size());
  for (const Value& value : storage_) copy.storage_.push_back(value.Clone());
  return copy;
}

Value& Value::List::front() {
  CHECK(!storage_.empty());
  return storage_.front();
}
const Value& Value::List::front() const {
  CHECK(!storage_.empty());
  return storage_.front();
}
Value& Value::List::back() {
  CHECK(!storage_.empty());
  return storage_.back();
}
const Value& Value::List::back() const {
  CHECK(!storage_.empty());
  return storage_.back();
}
Value& Value::List::operator[](size_t index) {
  CHECK(index < storage_.size()) << index;
  return storage_[index];
}
const Value& Value::List::operator[](size_t index) const {
  CHECK(index < storage_.size()) << index;
  return storage_[index];
}

size_t Value::List::EraseValue(const Value& value) {
  const size_t before = storage_.size();
  storage_.erase(std::remove(storage_.begin(), storage_.end(), value), storage_.end());
  return before - storage_.size();
}

void Value::List::Append(Value&& value) { storage_.push_back(std::move(value)); }
void Value::List::Append(bool value) { storage_.emplace_back(value); }
void Value::List::Append(int value) { storage_.emplace_back(value); }
void Value::List::Append(double value) { storage_.emplace_back(value); }
void Value::List::Append(std::string_view value) { storage_.emplace_back(value); }
void Value::List::Append(const char* value) { storage_.emplace_back(value); }
void Value::List::Append(std::string&& value) { storage_.emplace_back(std::move(value)); }
void Value::List::Append(std::wstring_view value) { storage_.emplace_back(value); }
void Value::List::Append(const wchar_t* value) { storage_.emplace_back(value); }
void Value::List::Append(BlobStorage&& value) { storage_.emplace_back(std::move(value)); }
void Value::List::Append(Dict&& value) { storage_.emplace_back(std::move(value)); }
void Value::List::Append(List&& value) { storage_.emplace_back(std::move(value)); }

Value::List::iterator Value::List::Insert(const_iterator pos, Value&& value) {
  return storage_.insert(pos, std::move(value));
}

bool Value::List::operator==(const List& other) const { return storage_ == other.storage_; }

}  // namespace base
