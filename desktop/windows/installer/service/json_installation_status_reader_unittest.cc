#include "desktop/windows/installer/service/json_installation_status_reader.h"

#include <functional>

#include "base/json/json_reader.h"
#include "base/json/json_writer.h"
#include "desktop/windows/installer/service/json_installation_status_writer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr char kValidStatus[] = R"({
  "version": "1.2.3.4", "app_id": "app", "copy_only": true, "_all_users": false,
  "pinned": true, "path": "  C:\\Velto\t", "_subfolder": " sub ",
  "files": ["a.dll", " b.txt "], "root_files": ["launcher.exe"],
  "registry": {
    "HKLM": [{"clean": 1, "path": "Software\\Velto",
              "values": [{"type": "REG_SZ", "name": "n", "data": "d"},
                         {"type": "REG_DWORD", "name": "x"},
                         {"type": "REG_NONE", "name": "y", "data": 5}]}],
    "HKCU": [{"clean": 0, "path": "Software\\Classes\\VeltoHTML", "values": []}]
  },
  "shortcuts": {"SC_DEST_COMMON_DESKTOP": "C:\\d.lnk", "SC_DEST_QUICK_LAUNCH": " q "},
  "components": {"comp": " C:\\c "},
  "unknown": [1, 2]
})";

base::Value::Dict ValidDict() {
  return std::move(*base::JSONReader::ReadDict(kValidStatus));
}

std::string ToJson(const base::Value::Dict& dict) {
  std::string json;
  EXPECT_TRUE(base::JSONWriter::Write(dict, &json));
  return json;
}

TEST(JsonInstallationStatusReaderTest, ReadsEveryMember) {
  JsonInstallationStatusReader reader;
  std::unique_ptr<InstallationStatus> status = reader.Read(kValidStatus, RECOVERED);
  ASSERT_TRUE(status) << reader.GetError();
  EXPECT_EQ(RECOVERED, status->source);
  EXPECT_EQ("1.2.3.4", status->version);
  EXPECT_EQ("app", status->app_id);
  EXPECT_TRUE(status->copy_only);
  EXPECT_FALSE(status->all_users);
  EXPECT_TRUE(status->pinned);
  EXPECT_EQ(L"C:\\Velto", status->path);
  EXPECT_EQ(L"sub", status->subfolder);
  EXPECT_EQ((std::vector<std::wstring>{L"a.dll", L"b.txt"}), status->files);
  EXPECT_EQ(std::vector<std::wstring>{L"launcher.exe"}, status->root_files);
  ASSERT_EQ(1u, status->hklm_keys.size());
  EXPECT_EQ((InstallationStatus::RegistryKey{1, "Software\\Velto",
                                             {{"REG_SZ", "n", "d"},
                                              {"REG_DWORD", "x", ""},
                                              {"REG_NONE", "y", ""}}}),
            status->hklm_keys[0]);
  ASSERT_EQ(1u, status->hkcu_keys.size());
  EXPECT_EQ("Software\\Classes\\VeltoHTML", status->hkcu_keys[0].path);
  EXPECT_EQ(L"C:\\d.lnk", status->desktop_shortcut);
  EXPECT_EQ(L"", status->start_menu_shortcut);
  // Shortcut paths are not trimmed.
  EXPECT_EQ(L" q ", status->quick_launch_shortcut);
  EXPECT_EQ((std::vector<InstallationStatus::Component>{{"comp", L"C:\\c"}}), status->components);
}

TEST(JsonInstallationStatusReaderTest, MinimalDocument) {
  JsonInstallationStatusReader reader;
  std::unique_ptr<InstallationStatus> status = reader.Read(
      R"({"version":"1","copy_only":false,"_all_users":true,"pinned":false,)"
      R"("path":"C:\\V","files":[],"registry":{},"components":["ignored"]})",
      PRIMARY);
  ASSERT_TRUE(status) << reader.GetError();
  InstallationStatus expected(PRIMARY);
  expected.version = "1";
  expected.all_users = true;
  expected.path = L"C:\\V";
  EXPECT_EQ(expected, *status);
}

TEST(JsonInstallationStatusReaderTest, NulCutsPathsAndFiles) {
  base::Value::Dict dict = ValidDict();
  dict.Set("path", std::string_view("C:\\V\0tail", 9));
  base::Value::List files;
  files.Append(std::string_view("a.dll\0.bak", 10));
  dict.Set("files", std::move(files));
  base::Value::Dict shortcuts;
  shortcuts.Set("SC_DEST_MENU", std::string_view("m\0x", 3));
  dict.Set("shortcuts", std::move(shortcuts));
  JsonInstallationStatusReader reader;
  std::unique_ptr<InstallationStatus> status = reader.Read(ToJson(dict), PRIMARY);
  ASSERT_TRUE(status) << reader.GetError();
  EXPECT_EQ(L"C:\\V", status->path);
  EXPECT_EQ(std::vector<std::wstring>{L"a.dll"}, status->files);
  EXPECT_EQ(L"m", status->start_menu_shortcut);
}

TEST(JsonInstallationStatusReaderTest, LaterShortcutOfADestinationWins) {
  base::Value::Dict dict = ValidDict();
  base::Value::Dict shortcuts;
  shortcuts.Set("SC_DEST_COMMON_MENU", "common");
  shortcuts.Set("SC_DEST_MENU", "user");
  dict.Set("shortcuts", std::move(shortcuts));
  JsonInstallationStatusReader reader;
  std::unique_ptr<InstallationStatus> status = reader.Read(ToJson(dict), PRIMARY);
  ASSERT_TRUE(status);
  EXPECT_EQ(L"user", status->start_menu_shortcut);
}

struct FailureCase {
  const char* description;
  std::function<void(base::Value::Dict&)> change;
  std::string error;
};

TEST(JsonInstallationStatusReaderTest, EachMemberFailsWithItsText) {
  auto set = [](const char* path, auto value) {
    return [path, value](base::Value::Dict& dict) {
      ASSERT_TRUE(dict.SetByDottedPath(path, base::Value(value)));
    };
  };
  auto remove = [](const char* key) {
    return [key](base::Value::Dict& dict) { ASSERT_TRUE(dict.Remove(key)); };
  };
  auto first_key = [](base::Value::Dict& dict) -> base::Value::Dict& {
    return (*dict.FindListByDottedPath("registry.HKLM"))[0].GetDict();
  };
  const FailureCase cases[] = {
      {"no version", remove("version"), "No version information"},
      {"version number", set("version", 1), "No version information"},
      {"app id bool", set("app_id", true), "Invalid app id type"},
      {"copy only text", set("copy_only", "true"), "No copy only information"},
      {"no all users", remove("_all_users"), "No all users information"},
      {"pinned number", set("pinned", 1), "No pinned information"},
      {"no path", remove("path"), "No install path information"},
      {"subfolder list", [](base::Value::Dict& d) { d.Set("_subfolder", base::Value::List()); },
       "Subfolder not a string"},
      {"no files", remove("files"), "No files list"},
      {"files text", set("files", "a.dll"), "No files list"},
      {"file number",
       [](base::Value::Dict& d) { d.FindList("files")->Append(3); },
       "Element on files list is not a string"},
      {"root files text", set("root_files", "x"), "root_files is not a list"},
      {"root file null",
       [](base::Value::Dict& d) { d.FindList("root_files")->Append(base::Value()); },
       "Element on files list is not a string"},
      {"no registry", remove("registry"), "No registry dictionary"},
      {"registry list",
       [](base::Value::Dict& d) { d.Set("registry", base::Value::List()); },
       "No registry dictionary"},
      {"hkcu object",
       [](base::Value::Dict& d) { d.SetByDottedPath("registry.HKCU", base::Value::Dict()); }, ""},
      {"key text",
       [](base::Value::Dict& d) { d.FindListByDottedPath("registry.HKCU")->Append("key"); },
       "Registry key not a dictionary"},
      {"key without path",
       [&](base::Value::Dict& d) { first_key(d).Remove("path"); },
       "Registry key dictionary doesn't specify a path"},
      {"fractional clean",
       [&](base::Value::Dict& d) { first_key(d).Set("clean", 1.5); },
       "No cleanup information on a registry key"},
      {"clean text",
       [&](base::Value::Dict& d) { first_key(d).Set("clean", "1"); },
       "No cleanup information on a registry key"},
      {"values object",
       [&](base::Value::Dict& d) { first_key(d).Set("values", base::Value::Dict()); },
       "No values list in a registry key"},
      {"value text",
       [&](base::Value::Dict& d) { first_key(d).FindList("values")->Append("v"); },
       "Registry value is not a dictionary"},
      {"value without name",
       [&](base::Value::Dict& d) { (*first_key(d).FindList("values"))[0].GetDict().Remove("name"); },
       "No name in a registry key value"},
      {"value type number",
       [&](base::Value::Dict& d) { (*first_key(d).FindList("values"))[1].GetDict().Set("type", 4); },
       "No type information on a registry key value"},
      {"shortcuts list",
       [](base::Value::Dict& d) { d.Set("shortcuts", base::Value::List()); },
       "Shortcuts not a dictionary"},
      {"shortcut number", set("shortcuts.SC_DEST_MENU", 1), "Shorcut path is not a string"},
      {"shortcut unknown", set("shortcuts.SC_DEST_STARTUP", "x"),
       "Invalid shortcut type SC_DEST_STARTUP"},
      {"component number", set("components.other", 7), "Component path is not a string"},
  };
  for (const FailureCase& failure : cases) {
    SCOPED_TRACE(failure.description);
    base::Value::Dict dict = ValidDict();
    failure.change(dict);
    JsonInstallationStatusReader reader;
    // A previous failure's text must not survive a failure of another kind.
    ASSERT_FALSE(reader.Read("[]", PRIMARY));
    EXPECT_FALSE(reader.Read(ToJson(dict), PRIMARY));
    EXPECT_EQ(failure.error, reader.GetError());
  }
}

TEST(JsonInstallationStatusReaderTest, ParseErrorsAndErrorPersistence) {
  JsonInstallationStatusReader reader;
  EXPECT_FALSE(reader.Read("", PRIMARY));
  EXPECT_EQ("Cannot parse the file as JSON: Line: 1, column: 1, Unexpected end of input.",
            reader.GetError());
  EXPECT_FALSE(reader.Read("{\"version\":\"1\",}", PRIMARY));
  EXPECT_EQ(0u, reader.GetError().find("Cannot parse the file as JSON: "));
  EXPECT_FALSE(reader.Read("[1]", PRIMARY));
  EXPECT_EQ("The root is not a dictionary", reader.GetError());
  // A success keeps the text of the last failure.
  EXPECT_TRUE(reader.Read(kValidStatus, PRIMARY));
  EXPECT_EQ("The root is not a dictionary", reader.GetError());
}

TEST(JsonInstallationStatusReaderTest, RoundTripThroughWriter) {
  InstallationStatus written(GENERATED);
  written.version = "2.0.1";
  written.copy_only = true;
  written.all_users = true;
  written.app_id = "velto.app";
  written.path = L" C:\\Program Files\\V\u00e9lto ";
  written.subfolder = L"2.0.1";
  written.files = {L"a.dll", L"sub\\b.pak"};
  written.root_files = {L"launcher.exe", L"velto.exe"};
  written.hklm_keys = {{1, "Software\\Velto", {{"REG_BINARY", "b", "01,ff"}}}};
  written.hkcu_keys = {{3, "Software\\Classes\\.htm", {}}};
  written.desktop_shortcut = L"C:\\Users\\Public\\Desktop\\Velto.lnk";
  written.start_menu_shortcut = L"C:\\ProgramData\\Menu\\Velto.lnk";
  written.quick_launch_shortcut = L"C:\\q\\Velto.lnk";
  written.components = {{"a", L"C:\\a"}, {"dotted.name", L"C:\\d"}, {"a", L"C:\\a2"}};

  std::optional<std::string> json = InstallationStatusToJson(written);
  ASSERT_TRUE(json);
  JsonInstallationStatusReader reader;
  std::unique_ptr<InstallationStatus> read = reader.Read(*json, PRIMARY);
  ASSERT_TRUE(read) << reader.GetError();

  InstallationStatus expected = written;
  expected.source = PRIMARY;
  expected.path = L"C:\\Program Files\\V\u00e9lto";
  expected.components = {{"a", L"C:\\a2"}, {"dotted.name", L"C:\\d"}};
  EXPECT_EQ(expected, *read);
}

}  // namespace
}  // namespace installer
