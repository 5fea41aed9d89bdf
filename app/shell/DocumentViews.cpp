#include "shell/DocumentViews.h"

#include <QObject>
#include <QPlainTextEdit>

#include "crypto/CryptoViewHost.h"
#include "crypto/frmCreateKeyPair.h"
#include "crypto/frmEncryptFile.h"
#include "crypto/frmEncryptMessage.h"
#include "shell/HelpTexts.h"
#include "shell/MessageBoxes.h"
#include "shell/frmMain.h"
#include "support/frmBugReport.h"

namespace vk {

namespace {

// What the views ask of the program, answered by the main window.
class ShellServices : public QObject, public CryptoViewHost, public SupportHost {
 public:
  explicit ShellServices(frmMain& window) : QObject(&window), window_(window) {}

  void SetGeneralStatus(const QString& text) override { window_.SetGeneralStatus(text); }

  void ShowMessage(QWidget* parent, CryptoViewHost::Icon icon, const QString& title, const QString& text) override {
    MessageBoxes::Icon shown = icon == CryptoViewHost::Icon::kInformation ? MessageBoxes::Icon::kInformation
                               : icon == CryptoViewHost::Icon::kWarning   ? MessageBoxes::Icon::kWarning
                                                                          : MessageBoxes::Icon::kCritical;
    Boxes().Show(parent, shown, MessageBoxes::Buttons::kOk, title, text);
  }

  void ShowMessage(QWidget* parent, SupportHost::Icon icon, const QString& title, const QString& text) override {
    Boxes().Show(parent,
                 icon == SupportHost::Icon::kQuestion ? MessageBoxes::Icon::kQuestion
                                                      : MessageBoxes::Icon::kInformation,
                 MessageBoxes::Buttons::kOk, title, text);
  }

  void AddToRecentFiles(const QString& fileName, const QString& folder, const QString& fileType) override {
    // The user's choice: without "Maintain File History" nothing is kept.
    if (!window_.Settings().MaintainHistory()) return;
    if (RecentFilesView* recent = window_.RecentFiles()) recent->AddToRecentFiles(fileName, folder, fileType);
  }

  void CountFileEncrypted() override {
    window_.Settings().SetFilesEncrypted(window_.Settings().FilesEncrypted() + 1);
  }

  void CountMessageEncrypted() override {
    window_.Settings().SetMessagesEncrypted(window_.Settings().MessagesEncrypted() + 1);
  }

  QString InstallId() override { return window_.Settings().AppGUID(); }

 private:
  frmMain& window_;
};

QWidget* WithHelp(QWidget* view, HelpTextId id) {
  view->setProperty(kHelpTextProperty, static_cast<int>(id));
  return view;
}

}  // namespace

DocumentViewFactories MakeDocumentViewFactories(frmMain& window) {
  auto* services = new ShellServices(window);
  DocumentViewFactories factories;
  factories.newCryptoFile = [services](bool bDecrypting, const QString& sFileName) -> QWidget* {
    auto* view = new frmEncryptFile(*services);
    view->SetDoingDecrypt(bDecrypting);
    if (bDecrypting && !sFileName.isEmpty()) view->SetSourceFile(sFileName);
    return WithHelp(view, kHelpFileEncryption);
  };
  factories.newCryptoMsg = [services](bool bDecrypting) -> QWidget* {
    auto* view = new frmEncryptMessage(*services);
    view->SetDoingDecrypt(bDecrypting);
    return WithHelp(view, kHelpMessageEncryption);
  };
  factories.newCreateKeyPair = [services](QWidget* oTextBox) -> QWidget* {
    auto* view = new frmCreateKeyPair(*services);
    view->SetCopyKeyToTextBox(qobject_cast<QPlainTextEdit*>(oTextBox));
    return view;
  };
  factories.newBugReport = [services]() -> QWidget* { return WithHelp(new frmBugReport(*services), kHelpSupport); };
  return factories;
}

}  // namespace vk
