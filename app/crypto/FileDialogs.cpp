#include "crypto/FileDialogs.h"

#include <QFileDialog>

namespace vk {

namespace {

FileDialogRunner& Runner() {
  static FileDialogRunner runner;
  return runner;
}

}  // namespace

QString RunFileDialog(QWidget* parent, const FileDialogRequest& request) {
  if (Runner()) return Runner()(parent, request);
  return request.save ? QFileDialog::getSaveFileName(parent, request.title, QString(), request.filter)
                      : QFileDialog::getOpenFileName(parent, request.title, QString(), request.filter);
}

void SetFileDialogRunner(FileDialogRunner runner) { Runner() = std::move(runner); }

}  // namespace vk
