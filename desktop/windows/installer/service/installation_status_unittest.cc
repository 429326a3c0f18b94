#include "desktop/windows/installer/service/installation_status.h"

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(InstallationStatusTest, NewRecordIsEmpty) {
  InstallationStatus status(LEGACY_XML);
  EXPECT_EQ(LEGACY_XML, status.source);
  EXPECT_FALSE(status.copy_only || status.all_users || status.pinned);
  EXPECT_EQ(InstallationStatus(LEGACY_XML), status);
  EXPECT_NE(InstallationStatus(PRIMARY), status);
}

TEST(InstallationStatusTest, SourceNames) {
  EXPECT_STREQ("INVALID", InstallationStatusSourceToString(INVALID));
  EXPECT_STREQ("LEGACY_XML_RECOVERED_FROM_OLD_FILES",
               InstallationStatusSourceToString(LEGACY_XML_RECOVERED_FROM_OLD_FILES));
  EXPECT_STREQ("DROVIK", InstallationStatusSourceToString(DROVIK));
  EXPECT_STREQ("STRING", InstallationStatusSourceToString(STRING));
  EXPECT_STREQ("", InstallationStatusSourceToString(static_cast<InstallationStatusSource>(8)));
}

TEST(InstallationStatusTest, ShortcutDestinations) {
  InstallationStatus status(GENERATED);
  EXPECT_EQ(&status.desktop_shortcut, status.FindShortcutForDestination("SC_DEST_DESKTOP"));
  EXPECT_EQ(&status.desktop_shortcut,
            status.FindShortcutForDestination("SC_DEST_COMMON_DESKTOP"));
  EXPECT_EQ(&status.start_menu_shortcut, status.FindShortcutForDestination("SC_DEST_MENU"));
  EXPECT_EQ(&status.start_menu_shortcut,
            status.FindShortcutForDestination("SC_DEST_COMMON_MENU"));
  EXPECT_EQ(&status.quick_launch_shortcut,
            status.FindShortcutForDestination("SC_DEST_QUICK_LAUNCH"));
  EXPECT_EQ(nullptr, status.FindShortcutForDestination("SC_DEST_COMMON_QUICK_LAUNCH"));
  EXPECT_EQ(nullptr, status.FindShortcutForDestination("sc_dest_desktop"));
}

TEST(InstallationStatusTest, StatusPathTrimsThenCutsAtNul) {
  EXPECT_EQ(L"C:\\Velto", StatusPathFromUTF8(" \t C:\\Velto \r\n"));
  // U+3000 ideographic space counts as white space.
  EXPECT_EQ(L"C:\\V\u00e9lto", StatusPathFromUTF8("\xE3\x80\x80" "C:\\V\xC3\xA9lto"));
  EXPECT_EQ(L"a", StatusPathFromUTF8(std::string(" a\0b ", 5)));
  // Trimming comes first: white space before the NUL stays.
  EXPECT_EQ(L"a ", StatusPathFromUTF8(std::string("a \0b", 4)));
}

}  // namespace
}  // namespace installer
