// The body of a multipart/form-data POST (RFC 7578): text fields and file
// fields, optionally gzip-compressed as a whole, with the content headers that
// go with it.

#ifndef NET_HTTP_MULTIPART_BUILDER_H_
#define NET_HTTP_MULTIPART_BUILDER_H_

#include <map>
#include <optional>
#include <string>

#include "base/files/file_path.h"

namespace net {

class HttpMultipartBuilder {
 public:
  HttpMultipartBuilder();
  HttpMultipartBuilder(const HttpMultipartBuilder&) = delete;
  HttpMultipartBuilder& operator=(const HttpMultipartBuilder&) = delete;
  ~HttpMultipartBuilder();

  void SetGzipEnabled(bool gzip) { gzip_ = gzip; }
  // A text field; setting a key again replaces its value.
  void SetFormData(const std::string& key, const std::string& value);
  // A file field whose content is read from |path| when the body is built.
  void SetFileAttachment(const std::string& key, const std::string& upload_file_name,
                         const base::FilePath& path, const std::string& content_type);

  // The body, fields in key order and files after them; nullopt when a file
  // cannot be read or compression fails.
  std::optional<std::string> GetBodyStream() const;
  // "Content-Type" with the boundary and, with gzip on, "Content-Encoding".
  std::map<std::string, std::string> GetContentHeaders() const;

  const std::string& boundary() const { return boundary_; }

 private:
  struct FileAttachment {
    std::string file_name;
    base::FilePath path;
    std::string content_type;
  };

  const std::string boundary_;
  bool gzip_ = false;
  std::map<std::string, std::string> form_data_;
  std::map<std::string, FileAttachment> files_;
};

}  // namespace net

#endif  // NET_HTTP_MULTIPART_BUILDER_H_
