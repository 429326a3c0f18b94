// Feature tables: the rows from which features get their defaults. A row's
// masks are combined with the masks of the running edition (product edition
// code and build channel): a feature is on by default when its default mask
// shares a bit with the edition's default mask, and may be overridden when its
// overridable mask shares a bit with the edition's overridable mask.

#ifndef FEATURES_FEATURE_TABLE_H_
#define FEATURES_FEATURE_TABLE_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace installer {

struct FeatureTableRow {
  const char* switch_name;
  uint32_t default_mask;
  uint32_t overridable_mask;
  const char* title;
  const char* description;
  // Unused by every row; kept so that both tables share one layout.
  const char* extra_text;
};

struct EditionMasks {
  uint32_t default_mask = 0;
  uint32_t overridable_mask = 0;

  bool operator==(const EditionMasks& other) const = default;
};

struct EditionTableRow {
  // Compared with the configuration's user_agent_name.
  const char* edition_code;
  int32_t channel_number;
  uint32_t default_mask;
  uint32_t overridable_mask;
};

// The edition table, searched in order.
std::span<const EditionTableRow> GetEditionTable();

// The masks of the first edition row with |edition_code| and |channel_number|;
// zero masks when there is none.
EditionMasks FindEditionMasks(std::string_view edition_code, int channel_number);

// The masks of the running product: its user agent name and build channel.
EditionMasks GetEditionMasks();

bool IsFeatureEnabledByDefault(const FeatureTableRow& row, const EditionMasks& masks);
bool IsFeatureOverridable(const FeatureTableRow& row, const EditionMasks& masks);
// The same with the running product's masks.
bool IsFeatureEnabledByDefault(const FeatureTableRow& row);
bool IsFeatureOverridable(const FeatureTableRow& row);

}  // namespace installer

#endif  // FEATURES_FEATURE_TABLE_H_
