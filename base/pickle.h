// base::Pickle: a flat byte buffer of typed fields, the wire form of messages
// between our processes. Layout (all integers little-endian):
//   offset 0: uint32 payload size P (the header), then P payload bytes.
// Every field starts at a multiple of 4 from the payload start and is padded
// with zero bytes to a multiple of 4:
//   int / uint32 / bool (as int 0 or 1) .... 4 bytes
//   int64 / uint64 / double ................. 8 bytes
//   string (UTF-8) .......................... int32 byte length, the bytes
//   string16 (std::wstring) ................. int32 length in UTF-16 units, 2 bytes per unit
//   data ..................................... int32 byte length, the bytes
//   bytes ..................................... the bytes only (the reader knows the length)
// size() is always 4 + P, and data() can be sent as it is.
//
// A Pickle made from received bytes copies them and is valid only when the
// bytes hold at least the header and the header's P fits the bytes; extra bytes
// after 4 + P are ignored. An invalid pickle is empty (size() 0, data() null),
// reads from it fail and writes to it are ignored.

#ifndef BASE_PICKLE_H_
#define BASE_PICKLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

class Pickle;

// Reads the fields of a Pickle in order. Every Read* returns false, leaving
// |result| untouched, when the remaining payload is too short or a length is
// negative; it never reads outside the payload. The pickle must outlive it.
class PickleIterator {
 public:
  PickleIterator() = default;
  explicit PickleIterator(const Pickle& pickle);

  bool ReadBool(bool* result);
  bool ReadInt(int* result);
  bool ReadUInt16(uint16_t* result);
  bool ReadUInt32(uint32_t* result);
  bool ReadInt64(int64_t* result);
  bool ReadUInt64(uint64_t* result);
  bool ReadDouble(double* result);
  bool ReadString(std::string* result);
  bool ReadStringPiece(std::string_view* result);
  bool ReadString16(std::wstring* result);
  // A length-prefixed block written by WriteData; |data| points into the pickle.
  bool ReadData(const char** data, size_t* length);
  // |length| raw bytes written by WriteBytes; |data| points into the pickle.
  bool ReadBytes(const char** data, size_t length);
  // An int that must not be negative.
  bool ReadLength(size_t* result);
  bool SkipBytes(size_t length);

  // True when every payload byte has been read.
  bool ReachedEnd() const { return read_index_ >= end_index_; }

 private:
  // The next |size| bytes, advancing past their padding; nullptr when short.
  const char* GetReadPointerAndAdvance(size_t size);
  template <typename T>
  bool ReadPod(T* result);

  const char* payload_ = nullptr;
  size_t read_index_ = 0;
  size_t end_index_ = 0;
};

class Pickle {
 public:
  static constexpr size_t kHeaderSize = 4;
  static constexpr size_t kAlignment = 4;

  // An empty, valid pickle: the header with P = 0.
  Pickle();
  // Copies received bytes; see the header comment for validity.
  Pickle(const char* data, size_t data_len);
  Pickle(const Pickle& other);
  Pickle& operator=(const Pickle& other);
  Pickle(Pickle&& other) noexcept;
  Pickle& operator=(Pickle&& other) noexcept;
  ~Pickle();

  bool IsValid() const { return !buffer_.empty(); }

  // Header plus payload, ready to send.
  const void* data() const { return buffer_.empty() ? nullptr : buffer_.data(); }
  size_t size() const { return buffer_.size(); }
  const char* payload() const;
  size_t payload_size() const;

  // Each returns false only for an invalid pickle or a field too large for
  // its 32-bit length.
  bool WriteBool(bool value) { return WriteInt(value ? 1 : 0); }
  bool WriteInt(int value);
  bool WriteUInt16(uint16_t value);
  bool WriteUInt32(uint32_t value);
  bool WriteInt64(int64_t value);
  bool WriteUInt64(uint64_t value);
  bool WriteDouble(double value);
  bool WriteString(std::string_view value);
  bool WriteString16(std::wstring_view value);
  bool WriteData(const char* data, size_t length);
  bool WriteBytes(const void* data, size_t length);

 private:
  template <typename T>
  bool WritePod(T value);
  // Appends |length| bytes and the zero padding, then updates the header.
  bool WriteRaw(const void* data, size_t length);
  void SetPayloadSize(uint32_t size);

  std::vector<char> buffer_;
};

}  // namespace base

#endif  // BASE_PICKLE_H_
