// gzip (RFC 1952) compression through zlib, for request bodies.

#ifndef NET_GZIP_COMPRESS_H_
#define NET_GZIP_COMPRESS_H_

#include <optional>
#include <string>
#include <string_view>

namespace net {

// |data| as one gzip member; nullopt when zlib fails.
std::optional<std::string> GzipCompress(std::string_view data);
// The data of a gzip stream; nullopt when it is not one. For tests and checks.
std::optional<std::string> GzipUncompress(std::string_view data);

}  // namespace net

#endif  // NET_GZIP_COMPRESS_H_
