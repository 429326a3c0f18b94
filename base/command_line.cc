#include "base/command_line.h"

#include <windows.h>
#include <shellapi.h>
// wingdi.h defines ERROR, which LOG(ERROR) needs as a plain token.
#undef ERROR

#include <algorithm>

#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

constexpr wchar_t kSwitchTerminator[] = L"--";
constexpr char kSwitchPrefix[] = "--";

CommandLine* g_current_process_command_line = nullptr;

size_t SwitchPrefixLength(std::wstring_view arg) {
  if (StartsWith(arg, L"--")) return 2;
  if (StartsWith(arg, L"-") || StartsWith(arg, L"/")) return 1;
  return 0;
}

// Splits a switch argument into its lower-cased name and its value.
bool IsSwitch(std::wstring_view arg, std::string* name, std::wstring* value) {
  const size_t prefix = SwitchPrefixLength(arg);
  if (prefix == 0 || arg.size() <= prefix) return false;
  const std::wstring_view body = arg.substr(prefix);
  const size_t equals = body.find(L'=');
  const std::wstring_view key = body.substr(0, equals);
  if (key.empty()) return false;
  *name = ToLowerASCII(WideToUTF8(key));
  *value = equals == std::wstring_view::npos ? std::wstring() : std::wstring(body.substr(equals + 1));
  return true;
}

// Lower-cases a switch name given by a caller and drops any prefix it carries.
std::string NormalizeSwitchName(std::string_view name) {
  std::string result = ToLowerASCII(name);
  if (StartsWith(result, "--")) {
    result.erase(0, 2);
  } else if (StartsWith(result, "-") || StartsWith(result, "/")) {
    result.erase(0, 1);
  }
  return result;
}

}  // namespace

CommandLine::CommandLine(NoProgram) {}

CommandLine::CommandLine(const FilePath& program) { SetProgram(program); }

CommandLine::CommandLine(int argc, const wchar_t* const* argv) { InitFromArgv(argc, argv); }

CommandLine::CommandLine(const StringVector& argv) { InitFromArgv(argv); }

CommandLine::CommandLine(const CommandLine&) = default;
CommandLine& CommandLine::operator=(const CommandLine&) = default;
CommandLine::CommandLine(CommandLine&&) noexcept = default;
CommandLine& CommandLine::operator=(CommandLine&&) noexcept = default;
CommandLine::~CommandLine() = default;

bool CommandLine::Init(int, const char* const*) {
  if (g_current_process_command_line) return false;
  g_current_process_command_line = new CommandLine(NO_PROGRAM);
  g_current_process_command_line->ParseFromString(::GetCommandLineW());
  return true;
}

void CommandLine::Reset() {
  delete g_current_process_command_line;
  g_current_process_command_line = nullptr;
}

CommandLine* CommandLine::ForCurrentProcess() {
  CHECK(g_current_process_command_line) << "CommandLine::Init has not run";
  return g_current_process_command_line;
}

bool CommandLine::InitializedForCurrentProcess() { return g_current_process_command_line; }

CommandLine CommandLine::FromString(std::wstring_view command_line) {
  CommandLine result(NO_PROGRAM);
  result.ParseFromString(command_line);
  return result;
}

void CommandLine::ParseFromString(std::wstring_view command_line) {
  Clear();
  const std::wstring text(TrimWhitespace(command_line, TRIM_ALL));
  // CommandLineToArgvW answers an empty text with this executable's path.
  if (text.empty()) return;
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(text.c_str(), &argc);
  if (!argv) {
    PLOG(ERROR) << "CommandLineToArgvW failed on " << text;
    return;
  }
  InitFromArgv(argc, argv);
  ::LocalFree(argv);
}

void CommandLine::InitFromArgv(int argc, const wchar_t* const* argv) {
  StringVector vector;
  for (int i = 0; i < argc; ++i) vector.emplace_back(argv[i]);
  InitFromArgv(vector);
}

void CommandLine::InitFromArgv(const StringVector& argv) {
  Clear();
  ParseArgv(argv);
}

void CommandLine::Clear() {
  program_.clear();
  switches_.clear();
  switch_order_.clear();
  args_.clear();
}

void CommandLine::ParseArgv(const StringVector& argv) {
  if (argv.empty()) return;
  SetProgram(FilePath(argv[0]));
  bool parse_switches = true;
  for (size_t i = 1; i < argv.size(); ++i) {
    const std::wstring& arg = argv[i];
    if (parse_switches && arg == kSwitchTerminator) {
      parse_switches = false;
      continue;
    }
    std::string name;
    std::wstring value;
    if (parse_switches && IsSwitch(arg, &name, &value)) {
      AppendSwitchNative(name, value);
    } else {
      args_.push_back(arg);
    }
  }
}

std::wstring CommandLine::QuoteForCommandLineToArgvW(std::wstring_view arg) {
  std::wstring out;
  AppendQuoted(arg, &out);
  return out;
}

void CommandLine::AppendQuoted(std::wstring_view arg, std::wstring* out) {
  // Any backslash means quotes too: paths are always written quoted.
  if (!arg.empty() && arg.find_first_of(L" \t\n\\\"") == std::wstring_view::npos) {
    out->append(arg);
    return;
  }
  // Backslashes are literal unless they precede a quote: then each pair is
  // one backslash and an odd one escapes the quote. Hence doubling before
  // '"' and before the closing quote, and nowhere else.
  out->push_back(L'"');
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out->append(backslashes * 2 + 1, L'\\');
    } else {
      out->append(backslashes, L'\\');
    }
    out->push_back(c);
    backslashes = 0;
  }
  out->append(backslashes * 2, L'\\');
  out->push_back(L'"');
}

CommandLine::StringType CommandLine::GetCommandLineString() const {
  const std::wstring& program = program_.value();
  std::wstring result;
  if (!program.empty()) {
    // The program is read without escape processing: quotes only.
    if (program.find_first_of(L" \t") != std::wstring::npos) {
      result = L"\"" + program + L"\"";
    } else {
      result = program;
    }
  }
  const std::wstring arguments = GetArgumentsString();
  if (!arguments.empty()) {
    if (!result.empty()) result.push_back(L' ');
    result.append(arguments);
  }
  return result;
}

CommandLine::StringType CommandLine::GetArgumentsString() const {
  std::wstring result;
  const StringVector all = argv();
  for (size_t i = 1; i < all.size(); ++i) {
    if (i > 1) result.push_back(L' ');
    const std::wstring& arg = all[i];
    const size_t equals = arg.find(L'=');
    if (i <= switch_order_.size() && equals != std::wstring::npos) {
      // Only the value needs quoting: "--name="a b"" reads back as --name=a b.
      result.append(arg, 0, equals + 1);
      AppendQuoted(std::wstring_view(arg).substr(equals + 1), &result);
    } else if (i <= switch_order_.size() || i == switch_order_.size() + 1) {
      result.append(arg);  // a bare switch, or the terminator
    } else {
      AppendQuoted(arg, &result);
    }
  }
  return result;
}

CommandLine::StringVector CommandLine::argv() const {
  StringVector result;
  result.push_back(program_.value());
  for (const std::string& name : switch_order_) {
    std::wstring arg = UTF8ToWide(kSwitchPrefix) + UTF8ToWide(name);
    const std::wstring& value = switches_.find(name)->second;
    if (!value.empty()) arg += L"=" + value;
    result.push_back(std::move(arg));
  }
  if (!args_.empty()) {
    result.push_back(kSwitchTerminator);
    result.insert(result.end(), args_.begin(), args_.end());
  }
  return result;
}

void CommandLine::SetProgram(const FilePath& program) {
  program_ = FilePath(TrimWhitespace(program.value(), TRIM_ALL));
}

bool CommandLine::HasSwitch(std::string_view switch_name) const {
  return switches_.find(NormalizeSwitchName(switch_name)) != switches_.end();
}

std::string CommandLine::GetSwitchValueASCII(std::string_view switch_name) const {
  const std::wstring value = GetSwitchValueNative(switch_name);
  if (!IsStringASCII(value)) {
    LOG(WARNING) << "Value of switch (" << switch_name << ") must be ASCII.";
    return std::string();
  }
  return WideToASCII(value);
}

FilePath CommandLine::GetSwitchValuePath(std::string_view switch_name) const {
  return FilePath(GetSwitchValueNative(switch_name));
}

CommandLine::StringType CommandLine::GetSwitchValueNative(std::string_view switch_name) const {
  const auto it = switches_.find(NormalizeSwitchName(switch_name));
  return it == switches_.end() ? std::wstring() : it->second;
}

void CommandLine::AppendSwitch(std::string_view switch_name) {
  AppendSwitchNative(switch_name, std::wstring_view());
}

void CommandLine::AppendSwitchPath(std::string_view switch_name, const FilePath& path) {
  AppendSwitchNative(switch_name, path.value());
}

void CommandLine::AppendSwitchNative(std::string_view switch_name, std::wstring_view value) {
  const std::string name = NormalizeSwitchName(switch_name);
  if (name.empty()) return;
  const auto [it, inserted] = switches_.insert_or_assign(name, std::wstring(value));
  if (inserted) switch_order_.push_back(name);
}

void CommandLine::AppendSwitchASCII(std::string_view switch_name, std::string_view value) {
  AppendSwitchNative(switch_name, ASCIIToWide(value));
}

void CommandLine::RemoveSwitch(std::string_view switch_name) {
  const std::string name = NormalizeSwitchName(switch_name);
  if (switches_.erase(name) == 0) return;
  switch_order_.erase(std::find(switch_order_.begin(), switch_order_.end(), name));
}

void CommandLine::CopySwitchesFrom(const CommandLine& source,
                                   const std::vector<std::string>& switch_names) {
  for (const std::string& name : switch_names) {
    const auto it = source.switches_.find(NormalizeSwitchName(name));
    if (it != source.switches_.end()) AppendSwitchNative(it->first, it->second);
  }
}

void CommandLine::AppendArg(std::string_view value) { args_.push_back(UTF8ToWide(value)); }

void CommandLine::AppendArgPath(const FilePath& value) { args_.push_back(value.value()); }

void CommandLine::AppendArgNative(std::wstring_view value) { args_.emplace_back(value); }

void CommandLine::AppendArguments(const CommandLine& other, bool include_program) {
  if (include_program) AppendArgPath(other.program_);
  for (const std::string& name : other.switch_order_) {
    AppendSwitchNative(name, other.switches_.find(name)->second);
  }
  args_.insert(args_.end(), other.args_.begin(), other.args_.end());
}

}  // namespace base
