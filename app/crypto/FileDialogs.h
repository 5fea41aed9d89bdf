#pragma once

// The open and save dialogs of the file view go through here, so that tests
// can answer them.

#include <QString>

#include <functional>

class QWidget;

namespace vk {

struct FileDialogRequest {
  bool save = false;
  QString title;
  QString filter;  // Qt's form: "Name (patterns);;Name (patterns)"
};

// The chosen path, or empty text when the user cancelled.
using FileDialogRunner = std::function<QString(QWidget* parent, const FileDialogRequest& request)>;

QString RunFileDialog(QWidget* parent, const FileDialogRequest& request);
// A test's own runner, or nothing for the system's dialogs again.
void SetFileDialogRunner(FileDialogRunner runner);

}  // namespace vk
