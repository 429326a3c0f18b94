#include "base/command_line.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(CommandLineTest, ParsesPrefixesCaseValuesAndTerminator) {
  const CommandLine cl = CommandLine::FromString(
      L"\"C:\\Program Files\\app.exe\" --Install-Folder=\"C:\\My Dir\" -silent /V=2 "
      L"loose --x=1 -- --not-a-switch /nor-this");
  EXPECT_EQ(L"C:\\Program Files\\app.exe", cl.GetProgram().value());
  EXPECT_TRUE(cl.HasSwitch("install-folder"));
  EXPECT_TRUE(cl.HasSwitch("INSTALL-FOLDER"));  // lookups fold case too
  EXPECT_EQ(L"C:\\My Dir", cl.GetSwitchValueNative("install-folder"));
  EXPECT_EQ(FilePath(L"C:\\My Dir"), cl.GetSwitchValuePath("install-folder"));
  EXPECT_TRUE(cl.HasSwitch("silent"));
  EXPECT_EQ(L"", cl.GetSwitchValueNative("silent"));
  EXPECT_EQ("2", cl.GetSwitchValueASCII("v"));
  EXPECT_EQ("1", cl.GetSwitchValueASCII("x"));  // switches after an argument still count
  EXPECT_FALSE(cl.HasSwitch("not-a-switch"));
  EXPECT_EQ((CommandLine::StringVector{L"loose", L"--not-a-switch", L"/nor-this"}), cl.GetArgs());
  EXPECT_EQ(4u, cl.GetSwitches().size());
  EXPECT_EQ("install-folder", cl.GetSwitches().begin()->first);  // sorted by name
}

TEST(CommandLineTest, LastValueWinsAndOddArguments) {
  const CommandLine cl =
      CommandLine::FromString(L"app.exe --lang=en -LANG=de --empty= - -- --");
  EXPECT_EQ("de", cl.GetSwitchValueASCII("lang"));
  EXPECT_TRUE(cl.HasSwitch("empty"));
  EXPECT_EQ((CommandLine::StringVector{L"-", L"--"}), cl.GetArgs());
  // The repeated switch is written once, with its last value.
  EXPECT_EQ(L"app.exe --lang=de --empty -- - --", cl.GetCommandLineString());
  EXPECT_EQ(L"", cl.GetSwitchValueNative("missing"));
  EXPECT_EQ("", CommandLine::FromString(L"a.exe --v=\u00E9").GetSwitchValueASCII("v"));
}

TEST(CommandLineTest, QuotingMatchesCommandLineToArgvW) {
  EXPECT_EQ(L"plain", CommandLine::QuoteForCommandLineToArgvW(L"plain"));
  EXPECT_EQ(L"\"C:\\dir\\\\\"", CommandLine::QuoteForCommandLineToArgvW(L"C:\\dir\\"));
  EXPECT_EQ(L"\"C:\\a\\\\b\"", CommandLine::QuoteForCommandLineToArgvW(L"C:\\a\\\\b"));
  EXPECT_EQ(L"\"line\nfeed\"", CommandLine::QuoteForCommandLineToArgvW(L"line\nfeed"));
  EXPECT_EQ(L"\"\"", CommandLine::QuoteForCommandLineToArgvW(L""));
  EXPECT_EQ(L"\"a b\"", CommandLine::QuoteForCommandLineToArgvW(L"a b"));
  EXPECT_EQ(L"\"C:\\my dir\\\\\"", CommandLine::QuoteForCommandLineToArgvW(L"C:\\my dir\\"));
  EXPECT_EQ(L"\"say \\\"hi\\\"\"", CommandLine::QuoteForCommandLineToArgvW(L"say \"hi\""));
  EXPECT_EQ(L"\"a\\\\\\\"b\"", CommandLine::QuoteForCommandLineToArgvW(L"a\\\"b"));
}

TEST(CommandLineTest, RoundTripOfTrickyValuesAndArguments) {
  const std::wstring tricky[] = {
      L"",          L"with space",    L"trailing\\",      L"space and trailing\\",
      L"two\\\\",   L"q\"uote",       L"\\\"lead",        L"tab\there",
      L"a\\\\\"b c", L"--looks-like-switch", L"/x",        L"-",
      L"\u00E9\u4E2D", L"\"\"",         L"x=y",             L"end\\\\ \\",
  };
  CommandLine cl(FilePath(L"C:\\Program Files (x86)\\V\\installer.exe"));
  int n = 0;
  for (const std::wstring& value : tricky) {
    cl.AppendSwitchNative("s" + std::to_string(n++), value);
    cl.AppendArgNative(value);
  }
  const std::wstring text = cl.GetCommandLineString();
  const CommandLine parsed = CommandLine::FromString(text);
  EXPECT_EQ(cl.GetProgram(), parsed.GetProgram()) << text;
  EXPECT_EQ(cl.GetArgs(), parsed.GetArgs()) << text;
  EXPECT_EQ(cl.GetSwitches(), parsed.GetSwitches()) << text;
  EXPECT_EQ(text, parsed.GetCommandLineString());
}

TEST(CommandLineTest, WritingAndEditing) {
  CommandLine cl(CommandLine::NO_PROGRAM);
  cl.AppendSwitch("Silent");
  cl.AppendSwitchASCII("--lang", "en-US");
  cl.AppendSwitchPath("installfolder", FilePath(L"C:\\a b\\"));
  EXPECT_EQ(L"--silent --lang=en-US --installfolder=\"C:\\a b\\\\\"", cl.GetCommandLineString());
  EXPECT_EQ(cl.GetCommandLineString(), cl.GetArgumentsString());
  cl.AppendArg("x y");
  EXPECT_EQ(L"--silent --lang=en-US --installfolder=\"C:\\a b\\\\\" -- \"x y\"",
            cl.GetArgumentsString());
  EXPECT_EQ((CommandLine::StringVector{L"", L"--silent", L"--lang=en-US",
                                       L"--installfolder=C:\\a b\\", L"--", L"x y"}),
            cl.argv());
  cl.RemoveSwitch("lang");
  EXPECT_FALSE(cl.HasSwitch("lang"));
  cl.SetProgram(FilePath(L"C:\\p\\i.exe"));
  EXPECT_EQ(L"C:\\p\\i.exe --silent --installfolder=\"C:\\a b\\\\\" -- \"x y\"",
            cl.GetCommandLineString());

  CommandLine target(FilePath(L"t.exe"));
  target.CopySwitchesFrom(cl, {"silent", "missing", "INSTALLFOLDER"});
  EXPECT_EQ(2u, target.GetSwitches().size());
  EXPECT_EQ(L"C:\\a b\\", target.GetSwitchValueNative("installfolder"));

  CommandLine combined(FilePath(L"wrapper.exe"));
  combined.AppendArguments(cl, true);
  EXPECT_EQ((CommandLine::StringVector{L"C:\\p\\i.exe", L"x y"}), combined.GetArgs());
  EXPECT_TRUE(combined.HasSwitch("silent"));
}

TEST(CommandLineTest, EmptyAndArgvForms) {
  const CommandLine empty = CommandLine::FromString(L"   ");
  EXPECT_TRUE(empty.GetProgram().empty());
  EXPECT_TRUE(empty.GetSwitches().empty());
  EXPECT_EQ(L"", empty.GetCommandLineString());
  const wchar_t* argv[] = {L"prog.exe", L"--a=1", L"arg"};
  const CommandLine from_argv(3, argv);
  EXPECT_EQ("1", from_argv.GetSwitchValueASCII("a"));
  EXPECT_EQ((CommandLine::StringVector{L"arg"}), from_argv.GetArgs());
}

TEST(CommandLineTest, CurrentProcess) {
  CommandLine::Reset();
  EXPECT_FALSE(CommandLine::InitializedForCurrentProcess());
  EXPECT_TRUE(CommandLine::Init(0, nullptr));
  EXPECT_FALSE(CommandLine::Init(0, nullptr));
  ASSERT_TRUE(CommandLine::InitializedForCurrentProcess());
  const std::wstring program = CommandLine::ForCurrentProcess()->GetProgram().value();
  EXPECT_NE(std::wstring::npos, program.find(L"base_unittests")) << program;
  CommandLine::Reset();
}

}  // namespace
}  // namespace base
