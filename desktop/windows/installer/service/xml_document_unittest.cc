#include "desktop/windows/installer/service/xml_document.h"

#include "base/win/scoped_com_initializer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

class XmlDocumentTest : public testing::Test {
 protected:
  base::win::ScopedCOMInitializer com_;
  XmlDocument document_;
};

TEST_F(XmlDocumentTest, WalksElementsOnly) {
  std::string error;
  ASSERT_TRUE(document_.LoadFromString(
      "<?xml version=\"1.0\"?>\n<!-- lead -->\n<root a=\"1\">text<!--c--><?pi x?>\n"
      "  <first>one</first> tail <second><inner>two</inner> more</second>\n</root>",
      &error))
      << error;
  std::string name;
  // The document node is no element: there is no parent above the root.
  EXPECT_EQ(XmlDocument::MOVED, document_.MoveToFirstChild());
  ASSERT_TRUE(document_.GetNodeName(&name));
  EXPECT_EQ("root", name);
  EXPECT_EQ(XmlDocument::NO_ELEMENT, document_.MoveToParent());
  EXPECT_EQ(XmlDocument::NO_ELEMENT, document_.MoveToNextSibling());

  EXPECT_EQ(XmlDocument::MOVED, document_.MoveToFirstChild());
  ASSERT_TRUE(document_.GetNodeName(&name));
  EXPECT_EQ("first", name);
  EXPECT_EQ(XmlDocument::NO_ELEMENT, document_.MoveToFirstChild());
  EXPECT_EQ(XmlDocument::MOVED, document_.MoveToNextSibling());
  ASSERT_TRUE(document_.GetNodeName(&name));
  EXPECT_EQ("second", name);
  std::string text;
  ASSERT_TRUE(document_.GetText(&text));
  EXPECT_EQ("two more", text);
  EXPECT_EQ(XmlDocument::NO_ELEMENT, document_.MoveToNextSibling());
  ASSERT_TRUE(document_.GetNodeName(&name));
  EXPECT_EQ("second", name);
  EXPECT_EQ(XmlDocument::MOVED, document_.MoveToParent());
  ASSERT_TRUE(document_.GetNodeName(&name));
  EXPECT_EQ("root", name);
}

TEST_F(XmlDocumentTest, Attributes) {
  std::string error;
  ASSERT_TRUE(document_.LoadFromString(
      "<r empty=\"\" v=\"x &amp; y\" u=\"V\xC3\xA9lto\"/>", &error)) << error;
  std::string value = "unchanged";
  // The document node has no attributes.
  EXPECT_FALSE(document_.GetAttribute("v", &value));
  ASSERT_EQ(XmlDocument::MOVED, document_.MoveToFirstChild());
  EXPECT_TRUE(document_.GetAttribute("v", &value));
  EXPECT_EQ("x & y", value);
  EXPECT_TRUE(document_.GetAttribute("empty", &value));
  EXPECT_EQ("", value);
  EXPECT_TRUE(document_.GetAttribute("u", &value));
  EXPECT_EQ("V\xC3\xA9lto", value);
  value = "unchanged";
  EXPECT_FALSE(document_.GetAttribute("V", &value));
  EXPECT_FALSE(document_.GetAttribute("missing", &value));
  EXPECT_EQ("unchanged", value);
}

TEST_F(XmlDocumentTest, MalformedTextsFail) {
  for (const char* text : {"", "<a>", "<a></b>", "plain", "<a/><b/>"}) {
    SCOPED_TRACE(text);
    std::string error;
    EXPECT_FALSE(document_.LoadFromString(text, &error));
    EXPECT_EQ("Cannot load the document from string w/err 1", error);
    EXPECT_EQ(XmlDocument::FAILED, document_.MoveToFirstChild());
  }
}

}  // namespace
}  // namespace installer
