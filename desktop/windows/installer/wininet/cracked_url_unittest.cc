#include "desktop/windows/installer/wininet/cracked_url.h"

#include <wininet.h>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(CrackedUrlTest, SplitsSchemeHostPortAndPath) {
  CrackedUrl url;
  ASSERT_TRUE(CrackUrl(L"https://autoupdate.velto.example/netinstaller/quenn/windows/x64/", &url));
  EXPECT_EQ(INTERNET_SCHEME_HTTPS, url.scheme);
  EXPECT_EQ(L"autoupdate.velto.example", url.host);
  EXPECT_EQ(443, url.port);
  EXPECT_EQ(L"/netinstaller/quenn/windows/x64/", url.path);

  ASSERT_TRUE(CrackUrl(L"http://127.0.0.1:8123", &url));
  EXPECT_EQ(INTERNET_SCHEME_HTTP, url.scheme);
  EXPECT_EQ(8123, url.port);
  EXPECT_EQ(L"/", url.path);
}

TEST(CrackedUrlTest, KeepsEscapesOfASignedQuery) {
  CrackedUrl url;
  ASSERT_TRUE(CrackUrl(L"https://cdn.example/p/velto.exe?Signature=ab%2Bc%2F%3D&Key=x%26y", &url));
  EXPECT_EQ(L"/p/velto.exe?Signature=ab%2Bc%2F%3D&Key=x%26y", url.path);
  ASSERT_TRUE(CrackUrl(L"http://h.example/a%20b/c?additional_files='localization/de.pak'", &url));
  EXPECT_EQ(L"/a%20b/c?additional_files='localization/de.pak'", url.path);
}

TEST(CrackedUrlTest, RefusesWhatIsNoUrl) {
  CrackedUrl url;
  EXPECT_FALSE(CrackUrl(L"", &url));
  EXPECT_FALSE(CrackUrl(L"no url", &url));
  EXPECT_FALSE(CrackUrl(L"http://h.example/" + std::wstring(5000, L'a'), &url));
  EXPECT_FALSE(CrackUrl(L"http://" + std::wstring(300, L'a') + L".example/", &url));
}

}  // namespace
}  // namespace installer
