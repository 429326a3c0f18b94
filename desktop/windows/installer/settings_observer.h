// Told by Settings about changes of its choices. Called on the settings'
// thread; an observer may add or remove observers (itself included) while it
// is being notified.

#ifndef DESKTOP_WINDOWS_INSTALLER_SETTINGS_OBSERVER_H_
#define DESKTOP_WINDOWS_INSTALLER_SETTINGS_OBSERVER_H_

namespace installer {

class SettingsObserver {
 public:
  virtual ~SettingsObserver() = default;

  // A flag changed through a setter (or the mode or copy-only rule).
  virtual void OnSettingChanged() = 0;
  // The install language changed.
  virtual void OnLanguageChanged() = 0;
  // The analysis of a new install folder arrived, valid or not: the
  // operation and the folder details may have changed.
  virtual void OnPathChanged() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SETTINGS_OBSERVER_H_
