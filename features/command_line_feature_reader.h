// CommandLineFeatureReader: overrides from "with-feature:<name>" switches.
// "on" or no value turns the feature on, "off" turns it off; any other value
// is refused with a warning and leaves the default in force. Switches are
// read in the command line's switch order (sorted by name).

#ifndef FEATURES_COMMAND_LINE_FEATURE_READER_H_
#define FEATURES_COMMAND_LINE_FEATURE_READER_H_

#include <vector>

#include "features/feature_reader.h"

namespace base {
class CommandLine;
}

namespace installer {

// The switch prefix that names a feature override.
extern const char kFeatureSwitchPrefix[];
extern const char kFeatureSwitchValueOn[];
extern const char kFeatureSwitchValueOff[];

class CommandLineFeatureReader : public FeatureReader {
 public:
  // |command_line| must outlive the reader.
  explicit CommandLineFeatureReader(const base::CommandLine& command_line);
  ~CommandLineFeatureReader() override;

  void ReadOverrides(std::vector<FeatureOverride>* overrides) const override;

 private:
  const base::CommandLine& command_line_;
};

}  // namespace installer

#endif  // FEATURES_COMMAND_LINE_FEATURE_READER_H_
