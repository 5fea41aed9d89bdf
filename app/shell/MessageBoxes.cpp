#include "shell/MessageBoxes.h"

#include <QMessageBox>

namespace vk {

namespace {

class QtMessageBoxes : public MessageBoxes {
 public:
  Answer Show(QWidget* parent, Icon icon, Buttons buttons, const QString& title, const QString& text,
              bool cancelIsDefault) override {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(ForDisplay(text));
    switch (icon) {
      case Icon::kCritical: box.setIcon(QMessageBox::Critical); break;
      case Icon::kWarning: box.setIcon(QMessageBox::Warning); break;
      case Icon::kInformation: box.setIcon(QMessageBox::Information); break;
      case Icon::kQuestion: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == Buttons::kOk) {
      box.setStandardButtons(QMessageBox::Ok);
    } else {
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(cancelIsDefault ? QMessageBox::Cancel : QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok ? Answer::kOk : Answer::kCancel;
  }
};

MessageBoxes* g_installed = nullptr;

}  // namespace

MessageBoxes& Boxes() {
  static QtMessageBoxes real;
  return g_installed ? *g_installed : real;
}

void SetMessageBoxes(MessageBoxes* boxes) { g_installed = boxes; }

QString ForDisplay(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace vk
