// HttpTransport over WinHTTP (synchronous session, system proxy settings).

#ifndef NET_HTTP_TRANSPORT_WIN_H_
#define NET_HTTP_TRANSPORT_WIN_H_

#include "net/http_transport.h"

namespace net {

class HttpTransportWin : public HttpTransport {
 public:
  HttpTransportWin();
  ~HttpTransportWin() override;

  bool ExecuteSynchronously(std::string* response_body) override;
};

}  // namespace net

#endif  // NET_HTTP_TRANSPORT_WIN_H_
