#include "base/test/local_package_server.h"

#include <windows.h>

#include "base/command_line.h"
#include "base/files/file_util.h"
#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "base/strings/string_number_conversions.h"
#include "base/strings/string_split.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "base/test/unix_link.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"

#ifndef VELTO_SOURCE_DIR
#error "VELTO_SOURCE_DIR names the source tree (set by the build)"
#endif

namespace base::test {

namespace {

constexpr wchar_t kPython[] = L"Z:\\usr\\bin\\python3";
constexpr char kScript[] = VELTO_SOURCE_DIR "/tests/fixtures/package_server.py";
// A loaded machine may take a while to start Python.
constexpr TimeDelta kStartTimeout = TimeDelta::FromSeconds(60);
// A test process that dies leaves its port file behind: the server then stops
// on its own after this long, well past ctest's time-out for one test.
constexpr char kMaxLifetimeSeconds[] = "300";

std::wstring Quoted(std::string_view text) {
  return CommandLine::QuoteForCommandLineToArgvW(UTF8ToWide(text));
}

}  // namespace

LocalPackageServer::LocalPackageServer() = default;

LocalPackageServer::~LocalPackageServer() {
  // The server polls for its port file and stops once it is gone.
  if (!port_file_.empty())
    DeleteFile(port_file_);
}

// static
std::string LocalPackageServer::ServerPath(const FilePath& path) {
  return UnixPath(path);
}

bool LocalPackageServer::Start(const Value::Dict& config) {
  folder_ = FilePath(ScratchFolder()).Append(UniqueName(L"package_server"));
  if (!CreateDirectory(folder_))
    return false;
  FilePath config_file = folder_.Append(L"config.json");
  port_file_ = folder_.Append(L"port");
  record_file_ = folder_.Append(L"record.jsonl");
  scheme_ = config.Find("tls") ? "https" : "http";
  std::string config_text;
  if (!JSONWriter::Write(config, &config_text) || !WriteFile(config_file, config_text))
    return false;

  std::wstring command = std::wstring(kPython) + L" " + Quoted(kScript) + L" --config " +
                         Quoted(ServerPath(config_file)) + L" --port-file " +
                         Quoted(ServerPath(port_file_)) + L" --record " +
                         Quoted(ServerPath(record_file_)) + L" --max-lifetime " +
                         ASCIIToWide(kMaxLifetimeSeconds);
  if (!StartUnixProgram(std::move(command)))
    return false;
  // The port file tells when the server listens.

  const TimeTicks deadline = TimeTicks::Now() + kStartTimeout;
  std::string port_text;
  while (!ReadFileToString(port_file_, &port_text) || !StringToInt(port_text, &port_)) {
    if (TimeTicks::Now() > deadline)
      return false;
    PlatformThread::Sleep(TimeDelta::FromMilliseconds(20));
  }
  return port_ > 0;
}

bool LocalPackageServer::StartWithRoutes(Value::Dict routes) {
  Value::Dict config;
  config.Set("routes", std::move(routes));
  return Start(config);
}

std::wstring LocalPackageServer::Url(std::wstring_view path) const {
  return UTF8ToWide(UrlUTF8("")) + std::wstring(path);
}

std::string LocalPackageServer::UrlUTF8(std::string_view path) const {
  return scheme_ + "://127.0.0.1:" + NumberToString(port_) + std::string(path);
}

std::vector<Value::Dict> LocalPackageServer::Requests() const {
  std::vector<Value::Dict> requests;
  std::string text;
  if (!ReadFileToString(record_file_, &text))
    return requests;
  // Only whole lines: the server may be writing the next one.
  size_t end = text.rfind('\n');
  if (end == std::string::npos)
    return requests;
  for (std::string_view line : SplitStringPiece(std::string_view(text).substr(0, end), "\n",
                                                TRIM_WHITESPACE, SPLIT_WANT_NONEMPTY)) {
    if (std::optional<Value::Dict> request = JSONReader::ReadDict(line))
      requests.push_back(std::move(*request));
  }
  return requests;
}

}  // namespace base::test
