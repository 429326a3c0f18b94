#include "base/version.h"

#include "base/strings/string_number_conversions.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace base {

namespace {

// The components of |text|, or empty when it is not a valid version text.
std::vector<uint32_t> ParseComponents(std::string_view text) {
  std::vector<uint32_t> components;
  size_t start = 0;
  while (true) {
    const size_t dot = text.find('.', start);
    const std::string_view part =
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    // StringToUint allows a sign; versions do not.
    if (part.empty() || !ContainsOnlyChars(part, "0123456789")) return {};
    if (components.empty() && part.size() > 1 && part[0] == '0') return {};
    unsigned value;
    if (!StringToUint(part, &value)) return {};
    components.push_back(value);
    if (dot == std::string_view::npos) return components;
    start = dot + 1;
  }
}

}  // namespace

Version::Version() = default;
Version::Version(std::string_view version_str) : components_(ParseComponents(version_str)) {}
Version::Version(std::wstring_view version_str) {
  if (IsStringASCII(version_str)) components_ = ParseComponents(WideToASCII(version_str));
}
Version::Version(std::vector<uint32_t> components) : components_(std::move(components)) {}
Version::Version(const Version&) = default;
Version& Version::operator=(const Version&) = default;
Version::Version(Version&&) noexcept = default;
Version& Version::operator=(Version&&) noexcept = default;
Version::~Version() = default;

int Version::CompareTo(const Version& other) const {
  if (!IsValid() || !other.IsValid()) {
    if (IsValid() == other.IsValid()) return 0;
    return IsValid() ? 1 : -1;
  }
  const size_t count = std::max(components_.size(), other.components_.size());
  for (size_t i = 0; i < count; ++i) {
    const uint32_t a = i < components_.size() ? components_[i] : 0;
    const uint32_t b = i < other.components_.size() ? other.components_[i] : 0;
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

std::string Version::GetString() const {
  std::string result;
  for (size_t i = 0; i < components_.size(); ++i) {
    if (i) result.push_back('.');
    result.append(NumberToString(components_[i]));
  }
  return result;
}

std::ostream& operator<<(std::ostream& out, const Version& version) {
  return out << (version.IsValid() ? version.GetString() : std::string("invalid"));
}

}  // namespace base
