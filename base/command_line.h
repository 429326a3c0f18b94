// base::CommandLine: a program path, switches and loose arguments, parsed from
// or written as a Windows command line.
//
// Parsing: the text is split into arguments by the system (CommandLineToArgvW),
// the first being the program. An argument is a switch when it starts with
// "--", "-" or "/" and has more after the prefix; the switch name is the text
// after the prefix up to the first '=' (lower-cased, ASCII), the value what
// follows that '=' (empty without one). A lone "--" ends switch parsing: it is
// dropped and everything after it is a loose argument. When a switch appears
// more than once, the last value wins (it keeps the position of its first
// appearance). Arguments are kept as they are (no trimming).
//
// Writing: the program (quoted when needed), then each switch as "--name" or
// "--name=value" in the order first added, then, when there are loose
// arguments, "--" and the arguments. Values and arguments are quoted so that
// CommandLineToArgvW reads them back unchanged: an argument that is empty or
// holds a space, tab, line feed, backslash or '"' is put in quotes, with
// backslashes doubled only where they precede a '"' or the closing quote and
// every '"' escaped as \". Parsing the written text gives back an equal
// command line.
//
// Switch names given to the lookup and append functions are lower-cased too,
// so callers may pass them in any case.

#ifndef BASE_COMMAND_LINE_H_
#define BASE_COMMAND_LINE_H_

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/files/file_path.h"

namespace base {

class CommandLine {
 public:
  using StringType = std::wstring;
  using CharType = wchar_t;
  using StringVector = std::vector<std::wstring>;
  // Sorted by switch name.
  using SwitchMap = std::map<std::string, std::wstring, std::less<>>;

  enum NoProgram { NO_PROGRAM };

  // Empty program, no switches or arguments.
  explicit CommandLine(NoProgram no_program);
  explicit CommandLine(const FilePath& program);
  // argv[0] is the program.
  CommandLine(int argc, const wchar_t* const* argv);
  explicit CommandLine(const StringVector& argv);
  CommandLine(const CommandLine&);
  CommandLine& operator=(const CommandLine&);
  CommandLine(CommandLine&&) noexcept;
  CommandLine& operator=(CommandLine&&) noexcept;
  ~CommandLine();

  // Sets up the process's command line from GetCommandLineW (|argc| and |argv|
  // are ignored, as on Windows they lose non-ANSI text). Returns false when it
  // was already set up (nothing changes then).
  static bool Init(int argc, const char* const* argv);
  // Forgets the process's command line so that Init may run again (tests).
  static void Reset();
  // The process's command line. Init must have run (checked).
  static CommandLine* ForCurrentProcess();
  static bool InitializedForCurrentProcess();

  // Parses |command_line| whose first argument is the program. Empty or
  // white-space-only text gives an empty command line.
  static CommandLine FromString(std::wstring_view command_line);
  // Replaces program, switches and arguments by those of |command_line|.
  void ParseFromString(std::wstring_view command_line);
  // Replaces everything by |argv| (argv[0] the program).
  void InitFromArgv(int argc, const wchar_t* const* argv);
  void InitFromArgv(const StringVector& argv);

  // Quotes |arg| for CommandLineToArgvW (see the header comment).
  static std::wstring QuoteForCommandLineToArgvW(std::wstring_view arg);

  // The whole command line, program first.
  StringType GetCommandLineString() const;
  // The same without the program (and without the space after it).
  StringType GetArgumentsString() const;
  // The unquoted argument vector as written: program, "--name[=value]" per
  // switch, then "--" and the arguments when there are any.
  StringVector argv() const;

  FilePath GetProgram() const { return program_; }
  void SetProgram(const FilePath& program);

  bool HasSwitch(std::string_view switch_name) const;
  // The value converted to ASCII; empty (logged) when the value holds other characters.
  std::string GetSwitchValueASCII(std::string_view switch_name) const;
  FilePath GetSwitchValuePath(std::string_view switch_name) const;
  StringType GetSwitchValueNative(std::string_view switch_name) const;
  const SwitchMap& GetSwitches() const { return switches_; }

  // Adds a switch or, when present, replaces its value.
  void AppendSwitch(std::string_view switch_name);
  void AppendSwitchPath(std::string_view switch_name, const FilePath& path);
  void AppendSwitchNative(std::string_view switch_name, std::wstring_view value);
  void AppendSwitchASCII(std::string_view switch_name, std::string_view value);
  void RemoveSwitch(std::string_view switch_name);
  // Copies those of |switch_names| that |source| has, with their values.
  void CopySwitchesFrom(const CommandLine& source, const std::vector<std::string>& switch_names);

  // The loose arguments, in order.
  const StringVector& GetArgs() const { return args_; }
  // |value| is UTF-8.
  void AppendArg(std::string_view value);
  void AppendArgPath(const FilePath& value);
  void AppendArgNative(std::wstring_view value);
  // Appends |other|'s switches and arguments, and its program as an argument
  // first when |include_program| is set.
  void AppendArguments(const CommandLine& other, bool include_program);

 private:
  void Clear();
  // Program, switches and arguments from an argument vector.
  void ParseArgv(const StringVector& argv);
  // Appends |arg| to |out|, quoted as needed.
  static void AppendQuoted(std::wstring_view arg, std::wstring* out);

  FilePath program_;
  SwitchMap switches_;
  // Switch names in the order first added, for writing.
  std::vector<std::string> switch_order_;
  StringVector args_;
};

}  // namespace base

#endif  // BASE_COMMAND_LINE_H_
