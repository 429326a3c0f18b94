#include "features/command_line_feature_reader.h"

#include <string>
#include <string_view>

#include "base/command_line.h"
#include "base/logging.h"
#include "base/strings/string_util.h"
#include "base/strings/utf_string_conversions.h"

namespace installer {

const char kFeatureSwitchPrefix[] = "with-feature:";
const char kFeatureSwitchValueOn[] = "on";
const char kFeatureSwitchValueOff[] = "off";

CommandLineFeatureReader::CommandLineFeatureReader(const base::CommandLine& command_line)
    : command_line_(command_line) {}

CommandLineFeatureReader::~CommandLineFeatureReader() = default;

void CommandLineFeatureReader::ReadOverrides(std::vector<FeatureOverride>* overrides) const {
  const std::string_view prefix(kFeatureSwitchPrefix);
  for (const auto& [switch_name, native_value] : command_line_.GetSwitches()) {
    if (!base::StartsWith(switch_name, prefix))
      continue;
    std::string name = switch_name.substr(prefix.size());
    // A value that is not pure ASCII reads as empty, and so turns the
    // feature on.
    const std::string value =
        base::IsStringASCII(native_value) ? base::WideToASCII(native_value) : std::string();
    if (value == kFeatureSwitchValueOff) {
      overrides->push_back(FeatureOverride{std::move(name), false});
      continue;
    }
    if (value.empty() || value == kFeatureSwitchValueOn) {
      overrides->push_back(FeatureOverride{std::move(name), true});
      continue;
    }
    LOG(WARNING) << switch_name << " has unhandled value: \"" << value
                 << "\" did you mean \"on\" or \"off\"? Using default setting.";
  }
}

}  // namespace installer
