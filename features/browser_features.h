// The browser's feature table, carried as data so that installer processes
// can answer questions about browser features (crash annotations, help)
// without the browser. Rows are looked up by switch name only.

#ifndef FEATURES_BROWSER_FEATURES_H_
#define FEATURES_BROWSER_FEATURES_H_

#include <span>
#include <string_view>

#include "features/feature_table.h"

namespace installer {

// All 125 rows in table order.
std::span<const FeatureTableRow> GetBrowserFeatureTable();

// The row named |switch_name| (exact match), or null.
const FeatureTableRow* FindBrowserFeature(std::string_view switch_name);

}  // namespace installer

#endif  // FEATURES_BROWSER_FEATURES_H_
