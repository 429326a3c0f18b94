#include "net/http_multipart_builder.h"

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "gtest/gtest.h"
#include "net/gzip_compress.h"

namespace net {
namespace {

class HttpMultipartBuilderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.CreateUniqueTempDir());
    file_ = folder_.GetPath().AppendASCII("dump.dmp");
    ASSERT_TRUE(base::WriteFile(file_, std::string("MDMP\0\r\nbinary", 13)));
  }
  base::ScopedTempDir folder_;
  base::FilePath file_;
};

TEST_F(HttpMultipartBuilderTest, FieldsInKeyOrderThenFilesThenClosingBoundary) {
  HttpMultipartBuilder builder;
  builder.SetFormData("zeta", "last");
  builder.SetFormData("alpha", "first");
  builder.SetFormData("alpha", "replaced");
  builder.SetFileAttachment("upload_file_minidump", "dump.dmp", file_,
                            "application/octet-stream");
  std::optional<std::string> body = builder.GetBodyStream();
  ASSERT_TRUE(body);
  const std::string& b = builder.boundary();
  std::string expected =
      "--" + b + "\r\nContent-Disposition: form-data; name=\"alpha\"\r\n\r\nreplaced\r\n" +
      "--" + b + "\r\nContent-Disposition: form-data; name=\"zeta\"\r\n\r\nlast\r\n" + "--" + b +
      "\r\nContent-Disposition: form-data; name=\"upload_file_minidump\"; "
      "filename=\"dump.dmp\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
      std::string("MDMP\0\r\nbinary", 13) + "\r\n--" + b + "--\r\n";
  EXPECT_EQ(expected, *body);
  EXPECT_EQ((std::map<std::string, std::string>{
                {"Content-Type", "multipart/form-data; boundary=" + b}}),
            builder.GetContentHeaders());
}

TEST_F(HttpMultipartBuilderTest, GzipCompressesTheWholeBody) {
  HttpMultipartBuilder plain;
  plain.SetFormData("k", "v");
  HttpMultipartBuilder compressed;
  compressed.SetGzipEnabled(true);
  compressed.SetFormData("k", "v");
  std::optional<std::string> body = compressed.GetBodyStream();
  ASSERT_TRUE(body);
  ASSERT_GE(body->size(), 2u);
  EXPECT_EQ('\x1f', (*body)[0]);
  EXPECT_EQ('\x8b', (*body)[1]);
  std::optional<std::string> inflated = GzipUncompress(*body);
  ASSERT_TRUE(inflated);
  EXPECT_NE(std::string::npos, inflated->find("name=\"k\"\r\n\r\nv\r\n"));
  EXPECT_EQ("gzip", compressed.GetContentHeaders()["Content-Encoding"]);
  EXPECT_NE(plain.boundary(), compressed.boundary());
}

TEST_F(HttpMultipartBuilderTest, NamesCannotBreakOutOfTheHeader) {
  HttpMultipartBuilder builder;
  builder.SetFormData("a\"\r\nX-Injected: 1", "v");
  std::optional<std::string> body = builder.GetBodyStream();
  ASSERT_TRUE(body);
  EXPECT_EQ(std::string::npos, body->find("\r\nX-Injected"));
  EXPECT_NE(std::string::npos, body->find("name=\"a%22%0D%0AX-Injected: 1\""));
}

TEST_F(HttpMultipartBuilderTest, MissingFileGivesNoBody) {
  HttpMultipartBuilder builder;
  builder.SetFileAttachment("f", "x", folder_.GetPath().AppendASCII("missing"), "a/b");
  EXPECT_FALSE(builder.GetBodyStream());
}

TEST(GzipCompressTest, RoundTripsLargeDataAndRejectsNonGzip) {
  std::string data;
  for (int i = 0; i < 200000; ++i)
    data += static_cast<char>(i * 7919 % 251);
  std::optional<std::string> compressed = GzipCompress(data);
  ASSERT_TRUE(compressed);
  EXPECT_EQ(data, GzipUncompress(*compressed));
  EXPECT_FALSE(GzipUncompress("not gzip at all"));
  EXPECT_FALSE(GzipUncompress(compressed->substr(0, compressed->size() / 2)));
}

}  // namespace
}  // namespace net
