#include "net/http_transport_win.h"

#include <windows.h>
#include <winhttp.h>

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"

namespace net {

namespace {

struct InternetHandle {
  explicit InternetHandle(HINTERNET handle) : handle(handle) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() {
    if (handle)
      WinHttpCloseHandle(handle);
  }
  HINTERNET handle;
};

}  // namespace

// static
std::unique_ptr<HttpTransport> HttpTransport::Create() {
  return std::make_unique<HttpTransportWin>();
}

HttpTransportWin::HttpTransportWin() = default;
HttpTransportWin::~HttpTransportWin() = default;

bool HttpTransportWin::ExecuteSynchronously(std::string* response_body) {
  std::wstring url = base::UTF8ToWide(url_);
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  wchar_t host[256] = {};
  wchar_t path[2048] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
  // The query stays with the path.
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
    LOG(ERROR) << "Invalid upload URL " << url_;
    return false;
  }
  std::wstring object = std::wstring(path, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo && parts.dwExtraInfoLength)
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty())
    object = L"/";

  InternetHandle session(WinHttpOpen(L"HttpTransportWin",
                                     WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.handle)
    return false;
  WinHttpSetTimeouts(session.handle, timeout_ms_, timeout_ms_, timeout_ms_, timeout_ms_);
  InternetHandle connection(
      WinHttpConnect(session.handle, std::wstring(host, parts.dwHostNameLength).c_str(),
                     parts.nPort, 0));
  if (!connection.handle)
    return false;
  InternetHandle request(WinHttpOpenRequest(
      connection.handle, base::UTF8ToWide(method_).c_str(), object.c_str(), nullptr,
      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
      parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!request.handle)
    return false;
  std::wstring headers;
  for (const auto& [name, value] : headers_)
    headers += base::UTF8ToWide(name + ": " + value + "\r\n");
  if (!WinHttpSendRequest(request.handle, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS
                                                          : headers.c_str(),
                          headers.empty() ? 0 : static_cast<DWORD>(-1L),
                          body_.empty() ? WINHTTP_NO_REQUEST_DATA : body_.data(),
                          static_cast<DWORD>(body_.size()), static_cast<DWORD>(body_.size()),
                          0) ||
      !WinHttpReceiveResponse(request.handle, nullptr)) {
    PLOG(ERROR) << "Request to " << url_ << " failed";
    return false;
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  if (response_body) {
    response_body->clear();
    char buffer[4096];
    DWORD read = 0;
    while (WinHttpReadData(request.handle, buffer, sizeof(buffer), &read) && read > 0)
      response_body->append(buffer, read);
  }
  if (status != 200) {
    LOG(ERROR) << "Request to " << url_ << " answered with status " << status;
    return false;
  }
  return true;
}

}  // namespace net
