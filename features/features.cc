#include "features/features.h"

#include <atomic>
#include <cstdint>

#include "base/command_line.h"
#include "base/lazy_instance_helpers.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"

namespace installer {

namespace {

// The registry's address, created on first use and never destroyed: child
// command lines may be written up to the very end of the process.
std::atomic<uintptr_t> g_registry{0};

}  // namespace

FeatureRegistry* GetFeatureRegistry() {
  return base::GetOrCreateLazyPointer<FeatureRegistry>(
      g_registry, [] { return new FeatureRegistry(); }, nullptr, nullptr);
}

void ResetFeatureRegistryForTesting() {
  delete reinterpret_cast<FeatureRegistry*>(g_registry.exchange(0, std::memory_order_acq_rel));
}

bool IsFeatureEnabled(std::string_view name) {
  return GetFeatureRegistry()->IsEnabled(name);
}

void AppendFeatureSwitches(const FeatureRegistry& registry, base::CommandLine* command_line) {
  for (const FeatureOverride& feature_override : registry.overrides()) {
    command_line->AppendSwitchASCII(
        GetFeatureSwitchName(feature_override.name),
        feature_override.enabled ? kFeatureSwitchValueOn : kFeatureSwitchValueOff);
  }
}

void AppendFeatureSwitches(base::CommandLine* command_line) {
  AppendFeatureSwitches(*GetFeatureRegistry(), command_line);
}

std::string GetFeatureSwitchName(std::string_view name) {
  return std::string(kFeatureSwitchPrefix).append(name);
}

}  // namespace installer
