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

TEST(CrackedUrlTest, ResolvesLocationsAgainstTheAddressThatAnswered) {
  const std::wstring base = L"http://h.example:8080/dir/page?q=1";
  EXPECT_EQ(L"https://other.example/x", ResolveUrl(base, L"https://other.example/x"));
  EXPECT_EQ(L"http://h.example:8080/dl?from=https://x", ResolveUrl(base, L"/dl?from=https://x"));
  EXPECT_EQ(L"http://cdn.example/p", ResolveUrl(base, L"//cdn.example/p"));
  EXPECT_EQ(L"http://h.example:8080/dir/next?q=2", ResolveUrl(base, L"next?q=2"));
  EXPECT_EQ(L"http://h.example:8080/p", ResolveUrl(L"http://h.example:8080", L"/p"));
  // Longer than WinINet's combining handles.
  const std::wstring signed_path = L"/p?sig=" + std::wstring(4000, L'a');
  EXPECT_EQ(L"http://h.example:8080" + signed_path, ResolveUrl(base, signed_path));
  EXPECT_EQ(L"", ResolveUrl(base, L""));
  EXPECT_EQ(L"", ResolveUrl(L"no base", L"/p"));
}

}  // namespace
}  // namespace installer
