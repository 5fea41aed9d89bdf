#pragma once

// The help text of each view, shown in the information pane when the view
// becomes active, as HTML with the look the texts have always had.

#include <QString>

namespace vk {

enum HelpTextId : int {
  kHelpVelkorNow = 101,
  kHelpSupport = 102,
  kHelpCreateKeyPair = 103,
  kHelpPasswords = 104,
  kHelpOptions = 105,
  kHelpFileEncryption = 106,
  kHelpMessageEncryption = 107,
  kHelpRecentFiles = 108,
};

// The dynamic property a view carries so the main window knows its text.
inline constexpr const char* kHelpTextProperty = "HelpTextId";

// Empty text for an unknown id.
QString HelpText(int id);
// The heading alone, as the text shows it.
QString HelpHeading(int id);

}  // namespace vk
