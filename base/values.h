// base::Value: one JSON-like datum (null, bool, int, double, UTF-8 string,
// binary blob, dictionary or list), the in-memory form of preference files,
// status records, statistics and configuration.
//
// Values are move-only; copies are made on purpose with Clone(). A Dict keeps
// its keys sorted by their bytes (std::map<std::string, Value>), so iteration
// and JSON output are in byte order. Typed accessors come in two flavours:
// Get*() expects the type (checked: a wrong type ends the process), while
// GetIf*()/Find*() return nullptr or std::nullopt when the type differs.
// Integers are 32-bit; doubles read back from JSON may hold whole numbers, and
// GetDouble()/GetIfDouble() accept an INTEGER value too (widened), as
// FindDouble does. Dotted paths ("a.b.c") address nested dictionaries; keys
// holding '.' are reached with the plain (non-path) functions only.

#ifndef BASE_VALUES_H_
#define BASE_VALUES_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace base {

class Value {
 public:
  enum class Type : unsigned char {
    NONE = 0,
    BOOLEAN,
    INTEGER,
    DOUBLE,
    STRING,
    BINARY,
    DICT,
    LIST,
  };

  using BlobStorage = std::vector<uint8_t>;
  class Dict;
  class List;

  // An ordered mapping of UTF-8 keys to values.
  class Dict {
   public:
    using Storage = std::map<std::string, Value, std::less<>>;
    using iterator = Storage::iterator;
    using const_iterator = Storage::const_iterator;

    Dict();
    Dict(Dict&&) noexcept;
    Dict& operator=(Dict&&) noexcept;
    Dict(const Dict&) = delete;
    Dict& operator=(const Dict&) = delete;
    ~Dict();

    Dict Clone() const;

    bool empty() const { return storage_.empty(); }
    size_t size() const { return storage_.size(); }
    iterator begin() { return storage_.begin(); }
    iterator end() { return storage_.end(); }
    const_iterator begin() const { return storage_.begin(); }
    const_iterator end() const { return storage_.end(); }
    const_iterator cbegin() const { return storage_.cbegin(); }
    const_iterator cend() const { return storage_.cend(); }
    void clear() { storage_.clear(); }
    bool contains(std::string_view key) const;
    // Removes the entry at |pos|; returns the iterator after it.
    iterator erase(const_iterator pos) { return storage_.erase(pos); }

    // Direct children. nullptr / nullopt when missing or of another type.
    const Value* Find(std::string_view key) const;
    Value* Find(std::string_view key);
    std::optional<bool> FindBool(std::string_view key) const;
    std::optional<int> FindInt(std::string_view key) const;
    // INTEGER values count too (widened).
    std::optional<double> FindDouble(std::string_view key) const;
    const std::string* FindString(std::string_view key) const;
    std::string* FindString(std::string_view key);
    const BlobStorage* FindBlob(std::string_view key) const;
    const Dict* FindDict(std::string_view key) const;
    Dict* FindDict(std::string_view key);
    const List* FindList(std::string_view key) const;
    List* FindList(std::string_view key);

    // Replaces any previous value under |key|; returns the stored value.
    Value* Set(std::string_view key, Value&& value);
    Value* Set(std::string_view key, bool value);
    Value* Set(std::string_view key, int value);
    Value* Set(std::string_view key, double value);
    Value* Set(std::string_view key, std::string_view value);
    Value* Set(std::string_view key, const char* value);
    Value* Set(std::string_view key, std::string&& value);
    Value* Set(std::string_view key, std::wstring_view value);  // stored as UTF-8
    Value* Set(std::string_view key, const wchar_t* value);
    Value* Set(std::string_view key, BlobStorage&& value);
    Value* Set(std::string_view key, Dict&& value);
    Value* Set(std::string_view key, List&& value);

    // True when an entry was removed.
    bool Remove(std::string_view key);
    // Takes the value out; nullopt when missing.
    std::optional<Value> Extract(std::string_view key);

    // Dotted paths: every component but the last names a dictionary.
    const Value* FindByDottedPath(std::string_view path) const;
    Value* FindByDottedPath(std::string_view path);
    std::optional<bool> FindBoolByDottedPath(std::string_view path) const;
    std::optional<int> FindIntByDottedPath(std::string_view path) const;
    std::optional<double> FindDoubleByDottedPath(std::string_view path) const;
    const std::string* FindStringByDottedPath(std::string_view path) const;
    std::string* FindStringByDottedPath(std::string_view path);
    const Dict* FindDictByDottedPath(std::string_view path) const;
    Dict* FindDictByDottedPath(std::string_view path);
    const List* FindListByDottedPath(std::string_view path) const;
    List* FindListByDottedPath(std::string_view path);

    // Creates missing intermediate dictionaries and replaces an intermediate
    // value that is not a dictionary by an empty one. Returns nullptr (and
    // changes nothing) when the path is empty or has an empty component.
    Value* SetByDottedPath(std::string_view path, Value&& value);
    Value* SetByDottedPath(std::string_view path, bool value);
    Value* SetByDottedPath(std::string_view path, int value);
    Value* SetByDottedPath(std::string_view path, double value);
    Value* SetByDottedPath(std::string_view path, std::string_view value);
    Value* SetByDottedPath(std::string_view path, const char* value);
    Value* SetByDottedPath(std::string_view path, std::string&& value);
    Value* SetByDottedPath(std::string_view path, std::wstring_view value);
    Value* SetByDottedPath(std::string_view path, Dict&& value);
    Value* SetByDottedPath(std::string_view path, List&& value);

    // Removes the value at |path| and then every dictionary along the path
    // that became empty by it. True when a value was removed.
    bool RemoveByDottedPath(std::string_view path);
    std::optional<Value> ExtractByDottedPath(std::string_view path);

    // Copies |other| into this: nested dictionaries merge recursively, any
    // other value (lists included) replaces the one here.
    void Merge(Dict&& other);

    bool operator==(const Dict& other) const;
    bool operator!=(const Dict& other) const { return !(*this == other); }

   private:
    Storage storage_;
  };

  // A sequence of values.
  class List {
   public:
    using Storage = std::vector<Value>;
    using iterator = Storage::iterator;
    using const_iterator = Storage::const_iterator;

    List();
    List(List&&) noexcept;
    List& operator=(List&&) noexcept;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List();

    List Clone() const;

    bool empty() const { return storage_.empty(); }
    size_t size() const { return storage_.size(); }
    iterator begin() { return storage_.begin(); }
    iterator end() { return storage_.end(); }
    const_iterator begin() const { return storage_.begin(); }
    const_iterator end() const { return storage_.end(); }
    const_iterator cbegin() const { return storage_.cbegin(); }
    const_iterator cend() const { return storage_.cend(); }
    Value& front();
    const Value& front() const;
    Value& back();
    const Value& back() const;
    // |index| must be below size() (checked).
    Value& operator[](size_t index);
    const Value& operator[](size_t index) const;
    void clear() { storage_.clear(); }
    void reserve(size_t capacity) { storage_.reserve(capacity); }

    iterator erase(const_iterator pos) { return storage_.erase(pos); }
    iterator erase(const_iterator first, const_iterator last) {
      return storage_.erase(first, last);
    }
    // Removes every element equal to |value|; returns how many.
    size_t EraseValue(const Value& value);

    void Append(Value&& value);
    void Append(bool value);
    void Append(int value);
    void Append(double value);
    void Append(std::string_view value);
    void Append(const char* value);
    void Append(std::string&& value);
    void Append(std::wstring_view value);  // stored as UTF-8
    void Append(const wchar_t* value);
    void Append(BlobStorage&& value);
    void Append(Dict&& value);
    void Append(List&& value);
    // Inserts before |pos|; returns the inserted element.
    iterator Insert(const_iterator pos, Value&& value);

    bool operator==(const List& other) const;
    bool operator!=(const List& other) const { return !(*this == other); }

   private:
    Storage storage_;
  };

  Value();  // NONE
  explicit Value(Type type);  // the type's empty/zero value
  explicit Value(bool value);
  explicit Value(int value);
  explicit Value(double value);
  explicit Value(std::string_view value);
  explicit Value(const char* value);
  explicit Value(std::string&& value);
  explicit Value(std::wstring_view value);  // stored as UTF-8
  explicit Value(const wchar_t* value);
  explicit Value(BlobStorage&& value);
  explicit Value(Dict&& value);
  explicit Value(List&& value);
  // Pointers would otherwise silently become bools.
  explicit Value(const void*) = delete;

  Value(Value&&) noexcept;
  Value& operator=(Value&&) noexcept;
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value();

  Value Clone() const;

  Type type() const { return static_cast<Type>(data_.index()); }
  static const char* GetTypeName(Type type);

  bool is_none() const { return type() == Type::NONE; }
  bool is_bool() const { return type() == Type::BOOLEAN; }
  bool is_int() const { return type() == Type::INTEGER; }
  bool is_double() const { return type() == Type::DOUBLE; }
  bool is_string() const { return type() == Type::STRING; }
  bool is_blob() const { return type() == Type::BINARY; }
  bool is_dict() const { return type() == Type::DICT; }
  bool is_list() const { return type() == Type::LIST; }

  std::optional<bool> GetIfBool() const;
  std::optional<int> GetIfInt() const;
  // INTEGER values count too (widened).
  std::optional<double> GetIfDouble() const;
  const std::string* GetIfString() const;
  std::string* GetIfString();
  const BlobStorage* GetIfBlob() const;
  const Dict* GetIfDict() const;
  Dict* GetIfDict();
  const List* GetIfList() const;
  List* GetIfList();

  // The type must match (checked).
  bool GetBool() const;
  int GetInt() const;
  double GetDouble() const;  // INTEGER or DOUBLE
  const std::string& GetString() const;
  std::string& GetString();
  const BlobStorage& GetBlob() const;
  const Dict& GetDict() const;
  Dict& GetDict();
  const List& GetList() const;
  List& GetList();

  // Moves the content out (type must match, checked); the value keeps an empty one.
  std::string TakeString() &&;
  Dict TakeDict() &&;
  List TakeList() &&;

  // Same type and same content; an INTEGER never equals a DOUBLE.
  friend bool operator==(const Value& a, const Value& b);
  friend bool operator!=(const Value& a, const Value& b) { return !(a == b); }
  friend bool operator==(const Value& a, bool b) { return a.is_bool() && a.GetBool() == b; }
  friend bool operator==(const Value& a, int b) { return a.is_int() && a.GetInt() == b; }
  friend bool operator==(const Value& a, double b) {
    return a.is_double() && a.GetDouble() == b;
  }
  friend bool operator==(const Value& a, std::string_view b) {
    return a.is_string() && a.GetString() == b;
  }
  friend bool operator==(const Value& a, const char* b) { return a == std::string_view(b); }

  // Compact JSON-like text, for logs and test failure messages.
  std::string DebugString() const;

 private:
  std::variant<std::monostate, bool, int, double, std::string, BlobStorage, Dict, List> data_;
};

std::ostream& operator<<(std::ostream& out, const Value& value);
std::ostream& operator<<(std::ostream& out, const Value::Dict& dict);
std::ostream& operator<<(std::ostream& out, const Value::List& list);
std::ostream& operator<<(std::ostream& out, Value::Type type);

}  // namespace base

#endif  // BASE_VALUES_H_
