// The process-wide feature registry and the helpers around it. The registry
// is created empty on first use and lives until the process ends; every
// installer process of one run hands its overrides to its children as
// "with-feature:<name>" switches so that they all agree.

#ifndef FEATURES_FEATURES_H_
#define FEATURES_FEATURES_H_

#include <string>
#include <string_view>

namespace base {
class CommandLine;
}

namespace installer {

class FeatureRegistry;

// The process-wide registry. Safe to call from any thread; the first caller
// creates it.
FeatureRegistry* GetFeatureRegistry();

// Forgets the process-wide registry, its registrations and overrides: the
// next call of GetFeatureRegistry makes a new, empty one. For tests, which
// share their process with the tests before them; never while another
// thread may use the registry.
void ResetFeatureRegistryForTesting();

// IsEnabled on the process-wide registry.
bool IsFeatureEnabled(std::string_view name);

// Writes every override of |registry| (in the order added) onto
// |command_line| as "with-feature:<name>" with "on" or "off". Registered
// defaults are not written: the child derives them itself.
void AppendFeatureSwitches(const FeatureRegistry& registry, base::CommandLine* command_line);
// The same for the process-wide registry.
void AppendFeatureSwitches(base::CommandLine* command_line);

// "with-feature:" followed by |name|.
std::string GetFeatureSwitchName(std::string_view name);

}  // namespace installer

#endif  // FEATURES_FEATURES_H_
