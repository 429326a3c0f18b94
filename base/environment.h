// The process environment with UTF-8 names and values over the wide Windows
// environment block. An interface so that code reading or changing variables
// can be given a fake; Create() returns the real one. Names compare without
// case, as Windows does. Changes affect this process and the children it starts
// afterwards.

#ifndef BASE_ENVIRONMENT_H_
#define BASE_ENVIRONMENT_H_

#include <memory>
#include <string>
#include <string_view>

namespace base {

class Environment {
 public:
  virtual ~Environment() = default;

  // The environment of this process.
  static std::unique_ptr<Environment> Create();

  // The value of |variable_name|. False when it is not set; a variable set to
  // the empty string is reported as set with an empty value. |result| may be null.
  virtual bool GetVar(std::string_view variable_name, std::string* result) = 0;
  bool HasVar(std::string_view variable_name) { return GetVar(variable_name, nullptr); }
  // Sets |variable_name| to |new_value|. False when the system refuses.
  virtual bool SetVar(std::string_view variable_name, const std::string& new_value) = 0;
  // Removes |variable_name|. True also when it was not set.
  virtual bool UnSetVar(std::string_view variable_name) = 0;
};

}  // namespace base

#endif  // BASE_ENVIRONMENT_H_
