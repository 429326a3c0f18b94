#include "net/http_multipart_builder.h"

#include "base/files/file_util.h"
#include "base/rand_util.h"
#include "base/strings/stringprintf.h"
#include "net/gzip_compress.h"

namespace net {

namespace {

std::string MakeBoundary() {
  uint32_t random[4] = {};
  base::RandBytes(random, sizeof(random));
  return base::StringPrintf("---MultipartBoundary-%08x%08x%08x%08x---", random[0], random[1],
                            random[2], random[3]);
}

// Quotes and line breaks would end the header parameter early.
std::string EscapeHeaderValue(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '"')
      escaped += "%22";
    else if (c == '\r')
      escaped += "%0D";
    else if (c == '\n')
      escaped += "%0A";
    else
      escaped += c;
  }
  return escaped;
}

}  // namespace

HttpMultipartBuilder::HttpMultipartBuilder() : boundary_(MakeBoundary()) {}
HttpMultipartBuilder::~HttpMultipartBuilder() = default;

void HttpMultipartBuilder::SetFormData(const std::string& key, const std::string& value) {
  files_.erase(key);
  form_data_[key] = value;
}

void HttpMultipartBuilder::SetFileAttachment(const std::string& key,
                                             const std::string& upload_file_name,
                                             const base::FilePath& path,
                                             const std::string& content_type) {
  form_data_.erase(key);
  files_[key] = FileAttachment{upload_file_name, path, content_type};
}

std::optional<std::string> HttpMultipartBuilder::GetBodyStream() const {
  std::string body;
  for (const auto& [key, value] : form_data_) {
    body += "--" + boundary_ + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + EscapeHeaderValue(key) + "\"\r\n\r\n";
    body += value + "\r\n";
  }
  for (const auto& [key, file] : files_) {
    std::string content;
    if (!base::ReadFileToString(file.path, &content))
      return std::nullopt;
    body += "--" + boundary_ + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + EscapeHeaderValue(key) +
            "\"; filename=\"" + EscapeHeaderValue(file.file_name) + "\"\r\n";
    body += "Content-Type: " + file.content_type + "\r\n\r\n";
    body += content + "\r\n";
  }
  body += "--" + boundary_ + "--\r\n";
  if (!gzip_)
    return body;
  return GzipCompress(body);
}

std::map<std::string, std::string> HttpMultipartBuilder::GetContentHeaders() const {
  std::map<std::string, std::string> headers;
  headers["Content-Type"] = "multipart/form-data; boundary=" + boundary_;
  if (gzip_)
    headers["Content-Encoding"] = "gzip";
  return headers;
}

}  // namespace net
