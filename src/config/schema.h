// Every setting by its control name, as text: how the command line shows and
// changes the configuration of a headless installation.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "config/settings.h"

namespace dovevid::config {

// All names in settings-window order: cboComPort, ..., txtWords(32), txtTimerVal.
std::vector<std::string> SettingNames();

// The current value as text: list settings by item text, "<none>" when
// nothing is selected, check boxes "1"/"0", texts as they are.
// False when the name is unknown.
bool GetSetting(const Settings& settings, std::string_view name, std::string* value);

// Validates `value` against the setting's list or type and applies it.
// txtTimerVal is not handled here (it goes through the polling-interval rule).
// On a bad name or value returns an error whose description says why.
Status SetSetting(Settings& settings, std::string_view name, std::string_view value);

// What the settings window shows for a setting, and what it takes.
struct SettingDescription {
  std::string caption;
  std::string tool_tip;
  std::string allowed;
  // The most characters a person may type into the text box; 0 for
  // settings that are not typed.
  int max_length = 0;
};
// Nothing when the name is unknown. Text limits follow `settings` (the
// header and footer lines take the row length).
std::optional<SettingDescription> DescribeSetting(const Settings& settings, std::string_view name);

}  // namespace dovevid::config
