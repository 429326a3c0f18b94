#include "features/browser_features.h"

#include <iterator>
#include <string_view>

namespace installer {

namespace {

// The browser's rows in the browser's own order. Titles are kept only where
// installer processes show them.
const FeatureTableRow kBrowserFeatureTable[] = {
    {"disable-password-manager-by-default", 0x8, 0x0, "", "", ""},
    {"search-engines-private-api", 0xFFF7, 0x0, "", "", ""},
    {"background-tab-throttling-max-delay-30s", 0x2, 0x7, "Background tab throttling", "", ""},
    {"feedback-button", 0x0, 0xFFFF, "", "", ""},
    {"horizontal-link-selection", 0x0, 0xFFFF, "", "", ""},
    {"relaunch-elevated-process", 0xFFFF, 0x1000F, "", "", ""},
    {"heap-compaction", 0x0, 0xFFFF, "", "", ""},
    {"submodule-use-google-api-key", 0x0, 0xFFFF, "", "", ""},
    {"submodule-native-theme-alt", 0x0, 0xFFFF, "", "", ""},
    {"disable-alt-high-dpi", 0x0, 0xFFFF, "", "", ""},
    {"media-router", 0x0, 0xFFFF, "", "", ""},
    {"more-share-menu-access-points", 0x0, 0xFFFF, "", "", ""},
    {"offline-auto-reload", 0x0, 0xFFFF, "", "", ""},
    {"offline-auto-reload-visible-only", 0x0, 0xFFFF, "", "", ""},
    {"media-avf-demuxer", 0x0, 0xFFFF, "", "", ""},
    {"media-windows-mf-demuxer", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode-disables-smooth-scrolling", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode-frame-rate-throttling", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode-timer-throttling", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode-video-codecs", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode-webrtc-video-codecs", 0x0, 0xFFFF, "", "", ""},
    {"power-save-mode-webrtc-video-pixel-limit", 0x0, 0xFFFF, "", "", ""},
    {"adblocker-advanced-selectors", 0x0, 0xFFFF, "", "", ""},
    {"adblocker-split-rules", 0x0, 0xFFFF, "", "", ""},
    {"adblocker-selective-mode", 0x0, 0xFFFF, "", "", ""},
    {"adblocker-tagname-support", 0x0, 0xFFFF, "", "", ""},
    {"addons-detailed-errors", 0x0, 0xFFFF, "", "", ""},
    {"bookmark-deduplication-detection", 0x0, 0xFFFF, "", "", ""},
    {"bookmark-deduplication-doremove", 0x0, 0xFFFF, "", "", ""},
    {"bookmarks-export", 0x0, 0xFFFF, "", "", ""},
    {"copy-browserjs-from-package", 0x0, 0xFFFF, "", "", ""},
    {"dedicated-gpu-option", 0x0, 0xFFFF, "", "", ""},
    {"enable-quic", 0x0, 0xFFFF, "", "", ""},
    {"extended-feature-stats", 0x0, 0xFFFF, "", "", ""},
    {"extension-content-verification", 0x0, 0xFFFF, "", "", ""},
    {"extension-toolbar-expander", 0x0, 0xFFFF, "", "", ""},
    {"external-apps-link-filtering", 0x0, 0xFFFF, "", "", ""},
    {"extension-printer-provider-api", 0x0, 0xFFFF, "", "", ""},
    {"flag-switching-test", 0xFFFF, 0x1FFFF, "Flag switching test", "", ""},
    {"forced-default-browser-prompt", 0x0, 0xFFFF, "", "", ""},
    {"fraud-protection-protocol-v2", 0x0, 0xFFFF, "", "", ""},
    {"import-from-velto", 0x0, 0xFFFF, "", "", ""},
    {"infopage", 0x0, 0xFFFF, "", "", ""},
    {"lazy-session-loading-default-enabled", 0x0, 0xFFFF, "", "", ""},
    {"prerender-search-results", 0x0, 0xFFFF, "", "", ""},
    {"prerender-url-input", 0x0, 0xFFFF, "", "", ""},
    {"prompt-on-risky-download", 0x0, 0xFFFF, "", "", ""},
    {"push-messages", 0x0, 0xFFFF, "", "", ""},
    {"rate-velto", 0x0, 0xFFFF, "", "", ""},
    {"mirenne", 0x0, 0xFFFF, "", "", ""},
    {"mirenne-win7-aero-skin", 0x0, 0xFFFF, "", "", ""},
    {"quit-when-profile-broken", 0xA, 0xFFFF, "Quit when profile is broken", "", ""},
    {"search-box-in-address-bar", 0x0, 0xFFFF, "", "", ""},
    {"search-popup", 0x0, 0xFFFF, "", "", ""},
    {"search-popup-currency-converter", 0x0, 0xFFFF, "", "", ""},
    {"search-popup-unit-converter", 0x0, 0xFFFF, "", "", ""},
    {"send-stats-on-shutdown", 0x0, 0xFFFF, "", "", ""},
    {"session-persistent-tab-activation-order", 0x0, 0xFFFF, "", "", ""},
    {"show-downloads-in-progress-warning", 0x0, 0xFFFF, "", "", ""},
    {"show-midi-permission-badge", 0x0, 0xFFFF, "", "", ""},
    {"show-save-file-dialog-on-risky-download", 0x0, 0xFFFF, "", "", ""},
    {"show-search-hints", 0x0, 0xFFFF, "", "", ""},
    {"simplified-vmenu", 0x0, 0xFFFF, "", "", ""},
    {"startup-metrics-stats", 0x0, 0xFFFF, "", "", ""},
    {"surveys", 0x0, 0xFFFF, "", "", ""},
    {"toolkit-navbar", 0x0, 0xFFFF, "", "", ""},
    {"toolkit-speed-dial", 0x0, 0xFFFF, "", "", ""},
    {"touch-bar-ui", 0x0, 0xFFFF, "", "", ""},
    {"use-chromiums-autocomplete-controller", 0x0, 0xFFFF, "", "", ""},
    {"warn-for-unknown-root", 0x0, 0xFFFF, "", "", ""},
    {"web-background-sync", 0x0, 0xFFFF, "", "", ""},
    {"windows-10-skin", 0x0, 0xFFFF, "", "", ""},
    {"adblocker", 0x0, 0xFFFF, "", "", ""},
    {"about-flags", 0x0, 0xFFFF, "", "", ""},
    {"about-thanks-page", 0x0, 0xFFFF, "", "", ""},
    {"advanced-settings", 0x0, 0xFFFF, "", "", ""},
    {"basic-settings", 0x0, 0xFFFF, "", "", ""},
    {"browser-action-toolbar-priority", 0x0, 0xFFFF, "", "", ""},
    {"browser-vpn", 0x0, 0xFFFF, "", "", ""},
    {"custom-search-engines", 0x0, 0xFFFF, "", "", ""},
    {"default-browser-prompt", 0x0, 0xFFFF, "", "", ""},
    {"default-browser-prompt-in-start-page", 0x0, 0xFFFF, "", "", ""},
    {"default-search-engine-on-speed-dial", 0x0, 0xFFFF, "", "", ""},
    {"dev-tools", 0x0, 0xFFFF, "", "", ""},
    {"disable-partner-suggestions", 0x0, 0xFFFF, "", "", ""},
    {"discover", 0x0, 0xFFFF, "", "", ""},
    {"downloadable-bookmark-thumbnails", 0x0, 0xFFFF, "", "", ""},
    {"enable-autoupdate-notifications", 0x0, 0xFFFF, "", "", ""},
    {"fraud-protection", 0x0, 0xFFFF, "", "", ""},
    {"fraud-protection-reports", 0x0, 0xFFFF, "", "", ""},
    {"flash-missing-notification", 0x0, 0xFFFF, "", "", ""},
    {"quillo-autoupdate-integration", 0x0, 0xFFFF, "", "", ""},
    {"quillo-legacy-kestrow-import", 0x0, 0xFFFF, "", "", ""},
    {"quillo-library", 0x0, 0xFFFF, "", "", ""},
    {"quillo-model-access-api", 0x0, 0xFFFF, "", "", ""},
    {"quillo-ui", 0x0, 0xFFFF, "", "", ""},
    {"ignore-velto-environment-variables", 0x0, 0xFFFF, "", "", ""},
    {"ignore-signature-check", 0x0, 0xFFFF, "", "", ""},
    {"include-version-in-upgrade-page-url", 0x0, 0xFFFF, "", "", ""},
    {"keep-custom-partner-content-file-in-profile", 0x0, 0xFFFF, "", "", ""},
    {"media-detachable-view", 0x0, 0xFFFF, "", "", ""},
    {"mouse-gestures", 0x0, 0xFFFF, "", "", ""},
    {"no-default-browser-check-on-first-run", 0x0, 0xFFFF, "", "", ""},
    {"personal-news-notifications", 0x0, 0xFFFF, "", "", ""},
    {"personal-news-search-box", 0x0, 0xFFFF, "", "", ""},
    {"recently-closed-tabs-button", 0x0, 0xFFFF, "", "", ""},
    {"restore-contenteditables-state", 0x0, 0xFFFF, "", "", ""},
    {"kestrow-extensions", 0x8, 0x0, "Kestrow Extensions", "", ""},
    {"kestrow-extension-store", 0x0, 0xFFFF, "", "", ""},
    {"kestrow-regions", 0x0, 0xFFFF, "", "", ""},
    {"force-system-location", 0x0, 0xFFFF, "", "", ""},
    {"online-private-mode-welcome-page", 0x0, 0xFFFF, "", "", ""},
    {"power-user-settings", 0x0, 0xFFFF, "", "", ""},
    {"private-mode-icon-in-menus", 0x0, 0xFFFF, "", "", ""},
    {"shortcuts-settings", 0x0, 0xFFFF, "", "", ""},
    {"show-start-page-hints", 0x0, 0xFFFF, "", "", ""},
    {"synch", 0x0, 0xFFFF, "", "", ""},
    {"tab-menu", 0x0, 0xFFFF, "", "", ""},
    {"themes", 0x0, 0xFFFF, "", "", ""},
    {"zephra", 0xFFF7, 0x0, "Velto Zephra", "", ""},
    {"ua-suffix", 0x0, 0xFFFF, "", "", ""},
    {"news-feeds-page-action", 0x0, 0xFFFF, "", "", ""},
    {"zoom-popup", 0x0, 0xFFFF, "", "", ""},
    {"improved-adblocking-popup", 0x0, 0x2, "New adblocking popup design", "", ""},
};

static_assert(std::size(kBrowserFeatureTable) == 125);

}  // namespace

std::span<const FeatureTableRow> GetBrowserFeatureTable() {
  return kBrowserFeatureTable;
}

const FeatureTableRow* FindBrowserFeature(std::string_view switch_name) {
  for (const FeatureTableRow& row : kBrowserFeatureTable) {
    if (switch_name == row.switch_name)
      return &row;
  }
  return nullptr;
}

}  // namespace installer
