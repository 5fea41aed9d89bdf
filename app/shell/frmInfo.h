#pragma once

// The "Information" pane: the help text of the view that was activated last.

#include <QWidget>

class QTextBrowser;

namespace vk {

class frmInfo : public QWidget {
  Q_OBJECT
 public:
  explicit frmInfo(QWidget* parent = nullptr);
  void ShowHelp(int helpTextId);
  QTextBrowser* rchMain() const { return rchMain_; }

 private:
  QTextBrowser* rchMain_;
};

}  // namespace vk
