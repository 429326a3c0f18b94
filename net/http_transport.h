// One synchronous HTTP request, the body given whole. HttpTransport is the
// interface; HttpTransportWin sends it through WinHTTP.

#ifndef NET_HTTP_TRANSPORT_H_
#define NET_HTTP_TRANSPORT_H_

#include <map>
#include <memory>
#include <string>

namespace net {

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;

  // The real transport.
  static std::unique_ptr<HttpTransport> Create();

  void SetMethod(const std::string& method) { method_ = method; }
  // An http or https URL (UTF-8).
  void SetURL(const std::string& url) { url_ = url; }
  void SetHeader(const std::string& name, const std::string& value) { headers_[name] = value; }
  void SetBody(std::string body) { body_ = std::move(body); }
  void SetTimeoutMs(int timeout_ms) { timeout_ms_ = timeout_ms; }

  // Sends the request; true when the server answered with status 200. The
  // body of the answer goes to |response_body| when it is not null.
  virtual bool ExecuteSynchronously(std::string* response_body) = 0;

 protected:
  std::string method_ = "POST";
  std::string url_;
  std::map<std::string, std::string> headers_;
  std::string body_;
  int timeout_ms_ = 60000;
};

}  // namespace net

#endif  // NET_HTTP_TRANSPORT_H_
