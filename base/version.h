// base::Version: a dotted version number such as "47.0.2631.23", compared
// component by component as unsigned 32-bit numbers; missing trailing
// components count as zero ("1.2" == "1.2.0"). A text is valid when it is one or
// more components separated by single dots, each made of decimal digits only
// (no sign, no spaces, no empty component) and not above 4294967295; a leading
// zero is allowed only in a later component ("1.02" is valid, "01.2" is not).

#ifndef BASE_VERSION_H_
#define BASE_VERSION_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace base {

class Version {
 public:
  // An invalid version.
  Version();
  explicit Version(std::string_view version_str);
  explicit Version(std::wstring_view version_str);
  explicit Version(std::vector<uint32_t> components);  // invalid when empty
  Version(const Version&);
  Version& operator=(const Version&);
  Version(Version&&) noexcept;
  Version& operator=(Version&&) noexcept;
  ~Version();

  bool IsValid() const { return !components_.empty(); }

  // -1, 0 or 1. Both must be valid (an invalid version sorts first).
  int CompareTo(const Version& other) const;
  // "1.2.3"; empty for an invalid version.
  std::string GetString() const;
  const std::vector<uint32_t>& components() const { return components_; }

  bool operator==(const Version& other) const { return CompareTo(other) == 0; }
  bool operator!=(const Version& other) const { return CompareTo(other) != 0; }
  bool operator<(const Version& other) const { return CompareTo(other) < 0; }
  bool operator<=(const Version& other) const { return CompareTo(other) <= 0; }
  bool operator>(const Version& other) const { return CompareTo(other) > 0; }
  bool operator>=(const Version& other) const { return CompareTo(other) >= 0; }

 private:
  std::vector<uint32_t> components_;
};

std::ostream& operator<<(std::ostream& out, const Version& version);

}  // namespace base

#endif  // BASE_VERSION_H_
