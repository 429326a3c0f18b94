#include "net/gzip_compress.h"

#include <zlib.h>

namespace net {

namespace {

// windowBits above 15 selects the gzip wrapper.
constexpr int kGzipWindowBits = MAX_WBITS + 16;
constexpr size_t kChunk = 64 * 1024;

}  // namespace

std::optional<std::string> GzipCompress(std::string_view data) {
  z_stream stream = {};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return std::nullopt;
  }
  std::string out;
  out.resize(deflateBound(&stream, static_cast<uLong>(data.size())) + 32);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result = deflate(&stream, Z_FINISH);
  size_t produced = stream.total_out;
  deflateEnd(&stream);
  if (result != Z_STREAM_END)
    return std::nullopt;
  out.resize(produced);
  return out;
}

std::optional<std::string> GzipUncompress(std::string_view data) {
  z_stream stream = {};
  if (inflateInit2(&stream, kGzipWindowBits) != Z_OK)
    return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  std::string out;
  int result = Z_OK;
  while (result == Z_OK) {
    size_t used = out.size();
    out.resize(used + kChunk);
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
    stream.avail_out = kChunk;
    result = inflate(&stream, Z_NO_FLUSH);
    out.resize(used + kChunk - stream.avail_out);
    if (result == Z_BUF_ERROR && stream.avail_in == 0)
      break;
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END)
    return std::nullopt;
  return out;
}

}  // namespace net
