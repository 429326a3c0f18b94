// Where a task or callback was created: the function, the source file and the
// line. Task runners keep it with each posted task so that logs and crash
// dumps can tell where work came from. FROM_HERE captures the current place;
// FROM_HERE_WITH_EXPLICIT_FUNCTION names the function explicitly (for posting
// locations that are part of the logged behaviour).

#ifndef BASE_LOCATION_H_
#define BASE_LOCATION_H_

#include <string>

namespace base {

class Location {
 public:
  Location() = default;
  // |function_name| and |file_name| must outlive the location (literals).
  constexpr Location(const char* function_name, const char* file_name, int line_number)
      : function_name_(function_name), file_name_(file_name), line_number_(line_number) {}

  // The place of the caller, for functions that take a defaulted Location.
  static constexpr Location Current(const char* function_name = __builtin_FUNCTION(),
                                    const char* file_name = __builtin_FILE(),
                                    int line_number = __builtin_LINE()) {
    return Location(function_name, file_name, line_number);
  }

  bool has_source_info() const { return function_name_ && file_name_; }
  const char* function_name() const { return function_name_ ? function_name_ : ""; }
  const char* file_name() const { return file_name_ ? file_name_ : ""; }
  int line_number() const { return line_number_; }

  // "function@file:line", or "pc:unknown" when nothing is known.
  std::string ToString() const;

 private:
  const char* function_name_ = nullptr;
  const char* file_name_ = nullptr;
  int line_number_ = -1;
};

}  // namespace base

#define FROM_HERE_WITH_EXPLICIT_FUNCTION(function_name) \
  ::base::Location(function_name, __FILE__, __LINE__)
#define FROM_HERE FROM_HERE_WITH_EXPLICIT_FUNCTION(__func__)

#endif  // BASE_LOCATION_H_
