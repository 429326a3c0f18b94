// The product facts of this build. The facts that a rebranded build may
// change come from the product configuration, a JSON document stored as
// resource "TXT" 133 of the installer executable (or, when the executable has
// none, of the companion library "_vlautolib.pyd"). It is parsed once per
// process on first use and never changes afterwards; any thread may read it.
// The facts fixed at build time are the build constants below.

#ifndef PRODUCT_CONFIG_PRODUCT_CONFIG_H_
#define PRODUCT_CONFIG_PRODUCT_CONFIG_H_

#include <string>
#include <optional>
#include <string_view>

#include "base/values.h"

namespace installer {

class ProductConfig {
 public:
  // The parsed configuration; null when no resource was found or when it is
  // not a JSON object. Built on the first call; concurrent first callers wait
  // for one parse.
  static const base::Value::Dict* GetInstance();

  // Typed getters over a dotted key path ("urls.autoupdate"). A missing key or
  // a value of another type gives "", false or 0; a null configuration too.
  static std::string GetString(const base::Value::Dict* config, std::string_view path);
  static bool GetBool(const base::Value::Dict* config, std::string_view path);
  static int GetInt(const base::Value::Dict* config, std::string_view path);

  static std::string GetCompanyName();
  static std::string GetCrashUploadProductName();
  static std::string GetDefaultProfilePathTemplate();
  static std::string GetDomain();
  static std::string GetExpectedSigner();
  static std::string GetFileNameBase();
  static int GetMajorDelta();
  static std::string GetProductName();
  static bool ShouldScheduleAutoupdateTask();
  static int GetScheduledAutoupdateDelayMin();
  static std::string GetShortcutSuffix();
  // The entry |name| of "urls", exactly as configured.
  static std::string GetUrl(std::string_view name);
  static bool ShouldUseChromiumMajorForMinor();
  static std::string GetUserAgentName();
  static std::string GetVisibleProductName();
  static bool IsWhiteLabeled();

  // The document text: resource "TXT" 133 of the main executable, else of the
  // companion library; empty when found nowhere.
  static std::string LoadText();
  // The configuration of |text|, or nullopt when it is not a JSON object.
  static std::optional<base::Value::Dict> Parse(std::string_view text);
};

// "%d.%d.%d.%d" of (major_delta + 47), the minor number (the Chromium major
// version when use_chromium_major_for_minor is set, else 0), build and patch.
std::string GetVersionString(const base::Value::Dict* config);
std::string GetVersion();
std::string GetProductName();
std::string GetUserAgentName();
// The visible product name, one space and the stream name ("Velto quenn").
std::string GetProductDisplayName();

// Build constants.
int GetChromiumMajorVersion();
std::string GetBuildStamp();
std::string GetStreamName();
// "2631.23".
std::string GetBuildNumberString();
int GetUniqueBuildNumber();
int GetBuildIdNumber();
// The build's channel number (1 Ulvane, 2 Fennick, 3 Pallex, 4 Tamber).
int GetChannelNumber();

}  // namespace installer

#endif  // PRODUCT_CONFIG_PRODUCT_CONFIG_H_
