#include "desktop/windows/installer/service/xml_installation_status_reader.h"

#include "base/strings/string_util.h"
#include "base/win/scoped_com_initializer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr char kFullDocument[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- left by an earlier installer -->
<install_log version="1.2.3.4" app_id="app" copy_only="False" all_users="True" pinned="True">
  <path subfolder=" 1.2.3.4 ">  C:\V)" "\xC3\xA9" R"(lto  </path>
  <!-- the copied files -->
  <files>
    <file>a.dll</file>
    <!-- between files -->
    <file> sub\b.pak
    </file>
  </files>
  <root_files><file>launcher.exe</file></root_files>
  <registry hive="HKCU">
    <key path="Software\Velto" clean="2">
      <value name="n" type="REG_DWORD">
         0000002a
      </value>
      <value name="e" type="REG_SZ"/>
    </key>
    <key path="Software\Empty" clean="-1"></key>
  </registry>
  <registry hive="HKLM">
    <key path="Software\Classes\VeltoHTML" clean="1"/>
  </registry>
  <shortcut type="SC_DEST_COMMON_DESKTOP"> C:\d.lnk </shortcut>
  <shortcut type="SC_DEST_COMMON_MENU">C:\m.lnk</shortcut>
  <shortcut type="SC_DEST_MENU">C:\m2.lnk</shortcut>
  <components>
    <component><name>comp</name><path> C:\c </path></component>
    <component>
      <!-- name first -->
      <name> spaced </name>
      <path>C:\s</path>
    </component>
  </components>
</install_log>
)";

class XmlInstallationStatusReaderTest : public testing::Test {
 protected:
  // The read's error, or "" when it succeeded.
  std::string ReadError(const std::string& contents) {
    std::unique_ptr<InstallationStatus> status = reader_.Read(contents, LEGACY_XML);
    return status ? std::string() : reader_.GetError();
  }

  base::win::ScopedCOMInitializer com_;
  XmlInstallationStatusReader reader_;
};

TEST_F(XmlInstallationStatusReaderTest, ReadsFullDocument) {
  std::unique_ptr<InstallationStatus> status = reader_.Read(kFullDocument, DROVIK);
  ASSERT_TRUE(status) << reader_.GetError();
  InstallationStatus expected(DROVIK);
  expected.version = "1.2.3.4";
  expected.app_id = "app";
  expected.all_users = true;
  expected.pinned = true;
  expected.path = L"C:\\V\u00e9lto";
  expected.subfolder = L"1.2.3.4";
  expected.files = {L"a.dll", L"sub\\b.pak"};
  expected.root_files = {L"launcher.exe"};
  expected.hkcu_keys = {{2, "Software\\Velto", {{"REG_DWORD", "n", "0000002a"}, {"REG_SZ", "e", ""}}},
                        {-1, "Software\\Empty", {}}};
  expected.hklm_keys = {{1, "Software\\Classes\\VeltoHTML", {}}};
  expected.desktop_shortcut = L"C:\\d.lnk";
  expected.start_menu_shortcut = L"C:\\m2.lnk";
  // The DOM's element text drops white space at its ends (white space is not
  // preserved), so the component name loses it too.
  expected.components = {{"comp", L"C:\\c"}, {"spaced", L"C:\\s"}};
  EXPECT_EQ(expected, *status);
}

TEST_F(XmlInstallationStatusReaderTest, MinimalDocumentAndFlags) {
  std::unique_ptr<InstallationStatus> status = reader_.Read(
      "<install_log version=\"1\" copy_only=\"True\" all_users=\"true\" pinned=\"TRUE\">"
      "<path>C:\\V</path><files><file>a</file></files></install_log>",
      LEGACY_XML_RECOVERED_FROM_OLD_FILES);
  ASSERT_TRUE(status) << reader_.GetError();
  InstallationStatus expected(LEGACY_XML_RECOVERED_FROM_OLD_FILES);
  expected.version = "1";
  expected.copy_only = true;
  expected.path = L"C:\\V";
  expected.files = {L"a"};
  EXPECT_EQ(expected, *status);
}

TEST_F(XmlInstallationStatusReaderTest, CommonMenuShortcutFillsStartMenu) {
  std::unique_ptr<InstallationStatus> status = reader_.Read(
      "<install_log version=\"1\" copy_only=\"False\" all_users=\"True\" pinned=\"False\">"
      "<path>C:\\V</path><files><file>a</file></files>"
      "<shortcut type=\"SC_DEST_COMMON_MENU\">C:\\m.lnk</shortcut></install_log>",
      LEGACY_XML);
  ASSERT_TRUE(status) << reader_.GetError();
  EXPECT_EQ(L"C:\\m.lnk", status->start_menu_shortcut);
  EXPECT_EQ(L"", status->desktop_shortcut);
}

// Replaces |from| (which must occur) in the full document by |to|.
// A document that is complete up to its files list.
const std::string kHead =
    "<install_log version=\"1\" copy_only=\"False\" all_users=\"False\" pinned=\"False\">"
    "<path>p</path><files><file>f</file></files>";

std::string FullDocumentWith(const std::string& from, const std::string& to) {
  std::string document = kFullDocument;
  size_t at = document.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  if (at != std::string::npos)
    document.replace(at, from.size(), to);
  return document;
}

TEST_F(XmlInstallationStatusReaderTest, FailureTexts) {
  const struct {
    std::string document;
    std::string error;
  } cases[] = {
      {"<other/>", "The root element's name is invalid"},
      {"<install_log copy_only=\"False\" all_users=\"False\" pinned=\"False\"/>",
       "There's no version attribute on the root element"},
      {"<install_log version=\"1\" all_users=\"False\" pinned=\"False\"/>",
       "There's no copy_only attribute on the root element"},
      {"<install_log version=\"1\" copy_only=\"False\" pinned=\"False\"/>",
       "There's no all_users attribute on the root element"},
      {"<install_log version=\"1\" copy_only=\"False\" all_users=\"False\"/>",
       "There's no pinned attribute on the root element"},
      {"<install_log version=\"1\" copy_only=\"False\" all_users=\"False\" pinned=\"False\">"
       "<!-- only --></install_log>",
       "Cannot proceed to the path"},
      {FullDocumentWith("<path subfolder", "<Path subfolder")
           .replace(FullDocumentWith("<path subfolder", "<Path subfolder").find("</path>"), 7,
                    "</Path>"),
       "The path element is not named correctly"},
      {kHead.substr(0, kHead.find("<files>")) + "</install_log>", "Cannot go to files element"},
      {FullDocumentWith("<files>", "<filez>").replace(
           FullDocumentWith("<files>", "<filez>").find("</files>"), 8, "</filez>"),
       "Files element is incorrectly named"},
      {FullDocumentWith("<file>a.dll</file>", "<file>a.dll</file><item>x</item>"),
       "File element is incorrectly named"},
      {kHead.substr(0, kHead.find("<files>")) + "<files> <!-- none --> </files></install_log>",
       "Cannot proceed to the first file on the list"},
      {kHead + "<root_files/></install_log>", "Cannot proceed to the first root file"},
      {kHead + "<root_files><dir>x</dir></root_files></install_log>",
       "A root file is incorrectly named"},
      {kHead + "<extra/></install_log>",
       "Invalid element in place of the optional root files list"},
      {kHead + "<root_files><file>r</file></root_files><files/></install_log>",
       "Invalid successor of root files list"},
      {FullDocumentWith("<registry hive=\"HKLM\">", "<registry>"),
       "Cannot get the hive attibute of a registry element"},
      {FullDocumentWith("hive=\"HKLM\"", "hive=\"hklm\""),
       "The hive attribute is not HKLM nor HKCU"},
      {kHead + "<registry hive=\"HKCU\"><key path=\"k\" clean=\"0\"/></registry><root_files/>"
               "</install_log>",
       "Invalid successor of the registry element"},
      {FullDocumentWith("SC_DEST_COMMON_MENU", "SC_DEST_START_MENU"),
       "Invalid shortcut type SC_DEST_START_MENU"},
      {FullDocumentWith("<shortcut type=\"SC_DEST_MENU\">", "<shortcut>"),
       "A shortcut element doesn't feature a type attribute"},
      {kHead + "<components/></install_log>", "Failed going to the first component"},
      {FullDocumentWith("<component><name>", "<part><name>")
           .replace(FullDocumentWith("<component><name>", "<part><name>").find("</path></component>"),
                    19, "</path></part>"),
       "A component element is not called component"},
      {kHead + "<components><component/></components></install_log>",
       "Cannot go to first child of a component"},
      {kHead + "<components><component><path>p</path></component></components></install_log>",
       "Component's first child is not called name"},
      {kHead + "<components><component><name>n</name></component></components></install_log>",
       "Cannot go to component.name sibling"},
      {kHead + "<components><component><name>n</name><file>p</file></component></components>"
               "</install_log>",
       "component.path is not called path"},
      {FullDocumentWith("</components>", "</components><shortcut type=\"SC_DEST_MENU\">x</shortcut>"),
       "Components are not the last element in status"},
  };
  for (const auto& failure : cases) {
    SCOPED_TRACE(failure.document);
    EXPECT_EQ(failure.error, ReadError(failure.document));
  }
}

TEST_F(XmlInstallationStatusReaderTest, SomeFailuresKeepTheEarlierText) {
  const std::string documents[] = {
      kHead + "<registry hive=\"HKLM\"/></install_log>",
      kHead + "<registry hive=\"HKLM\"><value/></registry></install_log>",
      FullDocumentWith(" clean=\"1\"", ""),
      FullDocumentWith("clean=\"2\"", "clean=\" 2\""),
      FullDocumentWith("clean=\"2\"", "clean=\"2.5\""),
      FullDocumentWith("<key path=\"Software\\Velto\"", "<key"),
      FullDocumentWith("<value name=\"e\" type=\"REG_SZ\"/>", "<data/>"),
      FullDocumentWith("<value name=\"e\" type=\"REG_SZ\"/>", "<value name=\"e\"/>"),
      FullDocumentWith("<shortcut type=\"SC_DEST_MENU\">C:\\m2.lnk</shortcut>",
                       "<shortcut type=\"SC_DEST_MENU\">C:\\m2.lnk</shortcut><files/>"),
  };
  const std::string earlier = ReadError("<install_log>");
  ASSERT_FALSE(earlier.empty());
  for (const std::string& document : documents) {
    SCOPED_TRACE(document);
    EXPECT_FALSE(reader_.Read(document, LEGACY_XML));
    EXPECT_EQ(earlier, reader_.GetError());
  }
}

TEST_F(XmlInstallationStatusReaderTest, ParseFailureAndEmptyText) {
  EXPECT_EQ("Cannot parse the file as XML: Cannot load the document from string w/err 1",
            ReadError("<install_log>"));
  EXPECT_EQ("Cannot parse the file as XML: Cannot load the document from string w/err 1",
            ReadError(""));
  // An empty element has text, the empty one.
  std::unique_ptr<InstallationStatus> status = reader_.Read(
      "<install_log version=\"\" copy_only=\"\" all_users=\"\" pinned=\"\">"
      "<path/><files><file/></files></install_log>",
      LEGACY_XML);
  ASSERT_TRUE(status) << reader_.GetError();
  EXPECT_EQ(std::vector<std::wstring>{L""}, status->files);
}

TEST_F(XmlInstallationStatusReaderTest, RegistryElementsInEitherOrder) {
  std::string document = FullDocumentWith("hive=\"HKCU\"", "hive=\"TMP\"");
  document = document.replace(document.find("hive=\"HKLM\""), 11, "hive=\"HKCU\"");
  document = document.replace(document.find("hive=\"TMP\""), 10, "hive=\"HKLM\"");
  std::unique_ptr<InstallationStatus> status = reader_.Read(document, LEGACY_XML);
  ASSERT_TRUE(status) << reader_.GetError();
  ASSERT_EQ(2u, status->hklm_keys.size());
  EXPECT_EQ("Software\\Velto", status->hklm_keys[0].path);
  ASSERT_EQ(1u, status->hkcu_keys.size());
  EXPECT_EQ("Software\\Classes\\VeltoHTML", status->hkcu_keys[0].path);
}

TEST_F(XmlInstallationStatusReaderTest, OnlyComponentsOrShortcutsAfterRootFiles) {
  // Sections may be left out, but never reordered.
  std::string without_registry = kFullDocument;
  without_registry.erase(without_registry.find("  <registry hive=\"HKCU\">"),
                         without_registry.find("  <shortcut") -
                             without_registry.find("  <registry hive=\"HKCU\">"));
  EXPECT_TRUE(reader_.Read(without_registry, LEGACY_XML)) << reader_.GetError();
  EXPECT_FALSE(reader_.Read(FullDocumentWith("<components>", "<registry hive=\"HKLM\"><key "
                                                             "path=\"x\" clean=\"0\"/></registry>"
                                                             "<components>"),
                            LEGACY_XML));
}

}  // namespace
}  // namespace installer
