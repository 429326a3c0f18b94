#include "base/pickle.h"

#include <cstring>
#include <limits>

namespace base {

namespace {

constexpr size_t AlignUp(size_t size) {
  return (size + Pickle::kAlignment - 1) & ~(Pickle::kAlignment - 1);
}

uint32_t ReadLittleEndian32(const char* data) {
  const auto* b = reinterpret_cast<const unsigned char*>(data);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// Field size limit: lengths travel as int32.
constexpr size_t kMaxFieldSize = static_cast<size_t>(std::numeric_limits<int32_t>::max());

}  // namespace

// ---------------------------------------------------------------------------
// PickleIterator

PickleIterator::PickleIterator(const Pickle& pickle)
    : payload_(pickle.payload()), end_index_(pickle.payload_size()) {}

const char* PickleIterator::GetReadPointerAndAdvance(size_t size) {
  if (!payload_ || size > end_index_ - read_index_) return nullptr;
  const char* pointer = payload_ + read_index_;
  // The last field of a pickle may lack its padding; never step past the end.
  const size_t advance = AlignUp(size);
  read_index_ = advance > end_index_ - read_index_ ? end_index_ : read_index_ + advance;
  return pointer;
}

template <typename T>
bool PickleIterator::ReadPod(T* result) {
  const char* pointer = GetReadPointerAndAdvance(sizeof(T));
  if (!pointer) return false;
  // x86-64 Windows is little-endian, the wire order.
  std::memcpy(result, pointer, sizeof(T));
  return true;
}

bool PickleIterator::ReadBool(bool* result) {
  int value;
  if (!ReadPod(&value)) return false;
  *result = value != 0;
  return true;
}
bool PickleIterator::ReadInt(int* result) { return ReadPod(result); }
bool PickleIterator::ReadUInt16(uint16_t* result) { return ReadPod(result); }
bool PickleIterator::ReadUInt32(uint32_t* result) { return ReadPod(result); }
bool PickleIterator::ReadInt64(int64_t* result) { return ReadPod(result); }
bool PickleIterator::ReadUInt64(uint64_t* result) { return ReadPod(result); }
bool PickleIterator::ReadDouble(double* result) { return ReadPod(result); }

bool PickleIterator::ReadLength(size_t* result) {
  int length;
  if (!ReadPod(&length) || length < 0) return false;
  *result = static_cast<size_t>(length);
  return true;
}

bool PickleIterator::ReadStringPiece(std::string_view* result) {
  const char* data;
  size_t length;
  if (!ReadData(&data, &length)) return false;
  *result = std::string_view(data, length);
  return true;
}

bool PickleIterator::ReadString(std::string* result) {
  std::string_view piece;
  if (!ReadStringPiece(&piece)) return false;
  result->assign(piece);
  return true;
}

bool PickleIterator::ReadString16(std::wstring* result) {
  // Reading the length alone must not move the iterator when the rest fails.
  const size_t saved = read_index_;
  size_t length;
  const char* data = nullptr;
  if (!ReadLength(&length) || length > kMaxFieldSize / sizeof(wchar_t) ||
      !(data = GetReadPointerAndAdvance(length * sizeof(wchar_t)))) {
    read_index_ = saved;
    return false;
  }
  result->resize(length);
  if (length) std::memcpy(result->data(), data, length * sizeof(wchar_t));
  return true;
}

bool PickleIterator::ReadData(const char** data, size_t* length) {
  const size_t saved = read_index_;
  size_t size;
  const char* pointer = nullptr;
  if (!ReadLength(&size) || !(pointer = GetReadPointerAndAdvance(size))) {
    read_index_ = saved;
    return false;
  }
  *data = pointer;
  *length = size;
  return true;
}

bool PickleIterator::ReadBytes(const char** data, size_t length) {
  const char* pointer = GetReadPointerAndAdvance(length);
  if (!pointer) return false;
  *data = pointer;
  return true;
}

bool PickleIterator::SkipBytes(size_t length) {
  return GetReadPointerAndAdvance(length) != nullptr;
}

// ---------------------------------------------------------------------------
// Pickle

Pickle::Pickle() : buffer_(kHeaderSize, 0) {}

Pickle::Pickle(const char* data, size_t data_len) {
  if (!data || data_len < kHeaderSize) return;
  const size_t payload_size = ReadLittleEndian32(data);
  if (payload_size > data_len - kHeaderSize) return;
  buffer_.assign(data, data + kHeaderSize + payload_size);
}

Pickle::Pickle(const Pickle& other) = default;
Pickle& Pickle::operator=(const Pickle& other) = default;
Pickle::Pickle(Pickle&& other) noexcept : buffer_(std::move(other.buffer_)) {
  other.buffer_.clear();
}
Pickle& Pickle::operator=(Pickle&& other) noexcept {
  if (this != &other) {
    buffer_ = std::move(other.buffer_);
    other.buffer_.clear();
  }
  return *this;
}
Pickle::~Pickle() = default;

const char* Pickle::payload() const {
  return buffer_.empty() ? nullptr : buffer_.data() + kHeaderSize;
}

size_t Pickle::payload_size() const {
  return buffer_.empty() ? 0 : buffer_.size() - kHeaderSize;
}

void Pickle::SetPayloadSize(uint32_t size) {
  for (int i = 0; i < 4; ++i) buffer_[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
}

bool Pickle::WriteRaw(const void* data, size_t length) {
  if (!IsValid() || length > kMaxFieldSize) return false;
  const size_t padded = AlignUp(length);
  if (padded > std::numeric_limits<uint32_t>::max() - payload_size()) return false;
  const size_t offset = buffer_.size();
  buffer_.resize(offset + padded, 0);
  if (length) std::memcpy(buffer_.data() + offset, data, length);
  SetPayloadSize(static_cast<uint32_t>(payload_size()));
  return true;
}

template <typename T>
bool Pickle::WritePod(T value) {
  return WriteRaw(&value, sizeof(value));
}

bool Pickle::WriteInt(int value) { return WritePod(value); }
bool Pickle::WriteUInt16(uint16_t value) { return WritePod(value); }
bool Pickle::WriteUInt32(uint32_t value) { return WritePod(value); }
bool Pickle::WriteInt64(int64_t value) { return WritePod(value); }
bool Pickle::WriteUInt64(uint64_t value) { return WritePod(value); }
bool Pickle::WriteDouble(double value) { return WritePod(value); }

bool Pickle::WriteString(std::string_view value) {
  return WriteData(value.data(), value.size());
}

bool Pickle::WriteString16(std::wstring_view value) {
  if (!IsValid() || value.size() > kMaxFieldSize / sizeof(wchar_t)) return false;
  return WriteInt(static_cast<int>(value.size())) &&
         WriteRaw(value.data(), value.size() * sizeof(wchar_t));
}

bool Pickle::WriteData(const char* data, size_t length) {
  if (!IsValid() || length > kMaxFieldSize) return false;
  return WriteInt(static_cast<int>(length)) && WriteRaw(data, length);
}

bool Pickle::WriteBytes(const void* data, size_t length) { return WriteRaw(data, length); }

}  // namespace base
