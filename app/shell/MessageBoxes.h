#pragma once

// Every message box of the program goes through here, so that tests can
// answer them and a program without a person in front of it cannot hang.

#include <QString>

class QWidget;

namespace vk {

class MessageBoxes {
 public:
  enum class Icon { kCritical, kWarning, kInformation, kQuestion };
  enum class Buttons { kOk, kOkCancel };
  enum class Answer { kOk, kCancel };

  virtual ~MessageBoxes() = default;
  // With kOkCancel, cancelIsDefault makes Cancel the button Enter presses.
  virtual Answer Show(QWidget* parent, Icon icon, Buttons buttons, const QString& title, const QString& text,
                      bool cancelIsDefault = false) = 0;
};

// The boxes in use: the real ones unless a test installed its own.
MessageBoxes& Boxes();
void SetMessageBoxes(MessageBoxes* boxes);

// Texts are written with carriage returns as line breaks; Qt breaks lines on
// line feeds.
QString ForDisplay(const QString& text);

}  // namespace vk
