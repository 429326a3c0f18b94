#include "features/features.h"

#include <atomic>
#include <cstdint>

#include <windows.h>

#include "base/command_line.h"
#include "features/command_line_feature_reader.h"
#include "features/feature_registry.h"

namespace installer {

namespace {

// 0: not created, 1: being created, otherwise the registry's address. The
// registry is never destroyed: child command lines may be written up to the
// very end of the process.
constexpr uintptr_t kNotCreated = 0;
constexpr uintptr_t kBeingCreated = 1;
std::atomic<uintptr_t> g_registry{kNotCreated};

}  // namespace

FeatureRegistry* GetFeatureRegistry() {
  uintptr_t value = g_registry.load(std::memory_order_acquire);
  if (value > kBeingCreated)
    return reinterpret_cast<FeatureRegistry*>(value);
  uintptr_t expected = kNotCreated;
  if (g_registry.compare_exchange_strong(expected, kBeingCreated, std::memory_order_acq_rel)) {
    auto* registry = new FeatureRegistry();
    g_registry.store(reinterpret_cast<uintptr_t>(registry), std::memory_order_release);
    return registry;
  }
  while ((value = g_registry.load(std::memory_order_acquire)) == kBeingCreated)
    ::SwitchToThread();
  return reinterpret_cast<FeatureRegistry*>(value);
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
