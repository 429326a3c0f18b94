#include "features/feature_table.h"

#include <string>

#include "product_config/product_config.h"

namespace installer {

namespace {

constexpr EditionTableRow kEditionTable[] = {
    {"VLO", 1, 0x7, 0x7}, {"VLO", 2, 0x6, 0x6}, {"VLO", 3, 0x4, 0x4}, {"VLO", 4, 0x4, 0x4},
    {"TRQ", 1, 0x8, 0x8}, {"TRQ", 2, 0x8, 0x8}, {"TRQ", 3, 0x8, 0x8}, {"TRQ", 4, 0x8, 0x8},
};

}  // namespace

std::span<const EditionTableRow> GetEditionTable() {
  return kEditionTable;
}

EditionMasks FindEditionMasks(std::string_view edition_code, int channel_number) {
  for (const EditionTableRow& row : kEditionTable) {
    if (edition_code == row.edition_code && channel_number == row.channel_number)
      return EditionMasks{row.default_mask, row.overridable_mask};
  }
  return EditionMasks{};
}

EditionMasks GetEditionMasks() {
  return FindEditionMasks(GetUserAgentName(), GetChannelNumber());
}

bool IsFeatureEnabledByDefault(const FeatureTableRow& row, const EditionMasks& masks) {
  return (row.default_mask & masks.default_mask) != 0;
}

bool IsFeatureOverridable(const FeatureTableRow& row, const EditionMasks& masks) {
  return (row.overridable_mask & masks.overridable_mask) != 0;
}

bool IsFeatureEnabledByDefault(const FeatureTableRow& row) {
  return IsFeatureEnabledByDefault(row, GetEditionMasks());
}

bool IsFeatureOverridable(const FeatureTableRow& row) {
  return IsFeatureOverridable(row, GetEditionMasks());
}

}  // namespace installer
