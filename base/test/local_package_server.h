// Runs the local package server (tests/fixtures/package_server.py) for a
// test: a Python process on 127.0.0.1 that answers from a JSON configuration
// of routes and records every request it receives (see the script for the
// configuration's fields). Each server has its own folder under the test
// process's scratch folder, holding its configuration, port file and record.
// The server stops when the launcher is destroyed (it watches its port file),
// or, should the test process die, when the scratch folder goes.
//
// Tests run under Wine, whose CreateProcess starts the Unix python3 directly;
// the launcher hands it Unix paths.

#ifndef BASE_TEST_LOCAL_PACKAGE_SERVER_H_
#define BASE_TEST_LOCAL_PACKAGE_SERVER_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"
#include "base/values.h"

namespace base::test {

class LocalPackageServer {
 public:
  LocalPackageServer();
  LocalPackageServer(const LocalPackageServer&) = delete;
  LocalPackageServer& operator=(const LocalPackageServer&) = delete;
  ~LocalPackageServer();

  // Starts the server with |config| and waits until it listens. False when it
  // did not come up.
  bool Start(const Value::Dict& config);
  // Start with a configuration of |routes| alone.
  bool StartWithRoutes(Value::Dict routes);

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" (https with a "tls" configuration) followed by
  // |path|.
  std::wstring Url(std::wstring_view path) const;
  std::string UrlUTF8(std::string_view path) const;

  // Every request received so far, in order (see the script for the fields).
  std::vector<Value::Dict> Requests() const;

  // The path by which the server reaches |path| (for "file" routes).
  static std::string ServerPath(const FilePath& path);

 private:
  FilePath folder_;
  FilePath port_file_;
  FilePath record_file_;
  int port_ = 0;
  std::string scheme_ = "http";
};

}  // namespace base::test

#endif  // BASE_TEST_LOCAL_PACKAGE_SERVER_H_
