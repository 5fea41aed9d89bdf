#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>
#include <vector>

#include "crypto/FileDialogs.h"
#include "crypto/frmCreateKeyPair.h"
#include "crypto/frmEncryptFile.h"
#include "crypto/frmEncryptMessage.h"

namespace vk {
namespace {

struct Shown {
  CryptoViewHost::Icon icon;
  QString title;
  QString text;
};

struct Recorded {
  QString name, folder, type;
};

class FakeHost : public CryptoViewHost {
 public:
  void SetGeneralStatus(const QString& text) override { statuses << text; }
  void ShowMessage(QWidget*, Icon icon, const QString& title, const QString& text) override {
    messages.push_back({icon, title, text});
  }
  void AddToRecentFiles(const QString& name, const QString& folder, const QString& type) override {
    history.push_back({name, folder, type});
  }
  void CountFileEncrypted() override { ++files; }
  void CountMessageEncrypted() override { ++messagesEncrypted; }

  QStringList statuses;
  std::vector<Shown> messages;
  std::vector<Recorded> history;
  int files = 0;
  int messagesEncrypted = 0;
};

template <class T>
T* Child(QWidget& view, const char* name) {
  T* child = view.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

template <class View, class Signal>
bool WaitFor(View& view, Signal signal, int ms = 120000) {
  QSignalSpy spy(&view, signal);
  return spy.wait(ms);
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class DialogAnswers {
 public:
  explicit DialogAnswers(QStringList answers) : answers_(std::move(answers)) {
    SetFileDialogRunner([this](QWidget*, const FileDialogRequest& request) {
      requests.push_back(request);
      return answers_.isEmpty() ? QString() : answers_.takeFirst();
    });
  }
  ~DialogAnswers() { SetFileDialogRunner({}); }
  std::vector<FileDialogRequest> requests;

 private:
  QStringList answers_;
};

void SetPasswords(QWidget& view, const QString& first, const QString& second) {
  Child<QLineEdit>(view, "txtPWD1")->setText(first);
  Child<QLineEdit>(view, "txtPWD2")->setText(second);
}

TEST(FileView, DefaultDestinationComesOnlyFromTheSourceDialogInEncryptMode) {
  FakeHost host;
  frmEncryptFile view(host);
  auto* source = Child<QLineEdit>(view, "txtSrcFile");
  auto* destination = Child<QLineEdit>(view, "txtFileResult");
  source->setText("/typed/by/hand.txt");
  EXPECT_TRUE(destination->text().isEmpty());
  {
    DialogAnswers answers({"/data/report.txt", "/elsewhere/out.vkf"});
    Child<QPushButton>(view, "btnSrcFileName")->click();
    EXPECT_EQ(source->text(), "/data/report.txt");
    EXPECT_EQ(destination->text(), "/data/report.vkf");
    ASSERT_EQ(answers.requests.size(), 1u);
    EXPECT_EQ(answers.requests[0].title, "Source file");
    EXPECT_FALSE(answers.requests[0].save);
    Child<QPushButton>(view, "btnDestFileName")->click();
    EXPECT_EQ(answers.requests[1].title, "Destination file");
    EXPECT_TRUE(answers.requests[1].save);
    EXPECT_TRUE(answers.requests[1].filter.startsWith("Velkor Encrypted Files (*.vkf)"));
    EXPECT_EQ(destination->text(), "/elsewhere/out.vkf");
  }
  {
    DialogAnswers answers({"/data/other.txt"});
    Child<QPushButton>(view, "btnSrcFileName")->click();
    EXPECT_EQ(destination->text(), "/elsewhere/out.vkf");  // a filled destination stays
  }
  {
    DialogAnswers cancelled({});
    Child<QPushButton>(view, "btnSrcFileName")->click();
    EXPECT_EQ(source->text(), "/data/other.txt");
  }
  frmEncryptFile decrypting(host);
  decrypting.SetDoingDecrypt(true);
  EXPECT_EQ(Child<QGroupBox>(decrypting, "fraMsgSrc")->title(), "Encrypted File");
  EXPECT_EQ(Child<QGroupBox>(decrypting, "fraMsgResult")->title(), "Decrypted File");
  EXPECT_EQ(Child<QPushButton>(decrypting, "btnCreateDigest")->text(), "Decrypt File");
  DialogAnswers answers({"/data/report.vkf"});
  Child<QPushButton>(decrypting, "btnSrcFileName")->click();
  EXPECT_TRUE(Child<QLineEdit>(decrypting, "txtFileResult")->text().isEmpty());
}

TEST(FileView, TheActionNeedsBothPathsAndMatchingPasswordsAfterTrimming) {
  FakeHost host;
  frmEncryptFile view(host);
  auto* action = Child<QPushButton>(view, "btnCreateDigest");
  EXPECT_FALSE(action->isEnabled());
  Child<QLineEdit>(view, "txtSrcFile")->setText("a");
  Child<QLineEdit>(view, "txtFileResult")->setText("b");
  SetPasswords(view, "secret ", "secret");
  EXPECT_TRUE(action->isEnabled());
  SetPasswords(view, "Secret", "secret");
  EXPECT_FALSE(action->isEnabled());
  SetPasswords(view, "   ", "   ");
  EXPECT_FALSE(action->isEnabled());
  // Spaces only are trimmed: a tab is part of what was typed.
  SetPasswords(view, "secret\t", "secret");
  EXPECT_FALSE(action->isEnabled());
  SetPasswords(view, "\t", "\t");
  EXPECT_TRUE(action->isEnabled());
  SetPasswords(view, "x", "x");
  Child<QLineEdit>(view, "txtFileResult")->setText("  ");
  EXPECT_FALSE(action->isEnabled());
  Child<QLineEdit>(view, "txtFileResult")->setText("\t");
  EXPECT_TRUE(action->isEnabled());
}

TEST(FileView, EncryptsRecordsAndCountsThenDecryptsBack) {
  QTemporaryDir dir;
  FakeHost host;
  QByteArray original(300000, '\0');
  for (int i = 0; i < original.size(); ++i) original[i] = static_cast<char>(i * 31 + 7);
  Write(dir.filePath("plain.bin"), original);

  frmEncryptFile encrypt(host);
  Child<QLineEdit>(encrypt, "txtSrcFile")->setText(dir.filePath("plain.bin"));
  Child<QLineEdit>(encrypt, "txtFileResult")->setText(dir.filePath("plain.vkf"));
  encrypt.Options().SetSelectedEncAlgo("ALGO_TWOFISH");
  encrypt.Options().SetSelectedPWDSize("BITS_256");
  SetPasswords(encrypt, "pass word ", "pass word");
  Child<QPushButton>(encrypt, "btnCreateDigest")->click();
  EXPECT_TRUE(Child<QProgressBar>(encrypt, "prgProgress")->isVisibleTo(&encrypt));
  ASSERT_TRUE(WaitFor(encrypt, &frmEncryptFile::ActionFinished));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Status");
  EXPECT_EQ(host.messages[0].text, "File Encryption is Successful");
  EXPECT_EQ(host.statuses, (QStringList{"Encrypting File...", "Idle"}));
  ASSERT_EQ(host.history.size(), 1u);
  EXPECT_EQ(host.history[0].name, "plain.vkf");
  EXPECT_EQ(host.history[0].folder, dir.path() + "/");
  EXPECT_EQ(host.history[0].type, "Encrypted File");
  EXPECT_EQ(host.files, 1);
  QByteArray sealed = ReadAll(dir.filePath("plain.vkf"));
  EXPECT_GT(sealed.size(), original.size());
  EXPECT_EQ(sealed.indexOf(original.left(64)), -1);

  frmEncryptFile decrypt(host);
  decrypt.SetDoingDecrypt(true);
  Child<QLineEdit>(decrypt, "txtSrcFile")->setText(dir.filePath("plain.vkf"));
  Child<QLineEdit>(decrypt, "txtFileResult")->setText(dir.filePath("back.bin"));
  SetPasswords(decrypt, "pass word ", "pass word ");  // the engine got the first box as typed
  Child<QPushButton>(decrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(decrypt, &frmEncryptFile::ActionFinished));
  EXPECT_EQ(ReadAll(dir.filePath("back.bin")), original);
  EXPECT_EQ(host.history.size(), 1u);  // decrypting records nothing
  EXPECT_EQ(host.files, 1);
}

TEST(FileView, AFailureIsReportedAndLeavesTheDestinationAndTheHistoryAlone) {
  QTemporaryDir dir;
  FakeHost host;
  Write(dir.filePath("plain.txt"), "the secret plans");
  frmEncryptFile encrypt(host);
  Child<QLineEdit>(encrypt, "txtSrcFile")->setText(dir.filePath("plain.txt"));
  Child<QLineEdit>(encrypt, "txtFileResult")->setText(dir.filePath("plain.txt"));  // onto itself
  SetPasswords(encrypt, "right", "right");
  Child<QPushButton>(encrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(encrypt, &frmEncryptFile::ActionFinished));
  EXPECT_NE(ReadAll(dir.filePath("plain.txt")), "the secret plans");

  Write(dir.filePath("existing.txt"), "keep me");
  frmEncryptFile decrypt(host);
  decrypt.SetDoingDecrypt(true);
  Child<QLineEdit>(decrypt, "txtSrcFile")->setText(dir.filePath("plain.txt"));
  Child<QLineEdit>(decrypt, "txtFileResult")->setText(dir.filePath("existing.txt"));
  SetPasswords(decrypt, "wrong", "wrong");
  host.messages.clear();
  QSignalSpy finished(&decrypt, &frmEncryptFile::ActionFinished);
  Child<QPushButton>(decrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(finished.wait(120000));
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].icon, CryptoViewHost::Icon::kWarning);
  EXPECT_NE(host.messages[0].text, "File Encryption is Successful");
  EXPECT_TRUE(host.messages[0].text.contains("password is wrong")) << host.messages[0].text.toStdString();
  EXPECT_EQ(ReadAll(dir.filePath("existing.txt")), "keep me");
  EXPECT_EQ(host.statuses.last(), "Idle");

  // The file encrypted onto itself still decrypts to what it was.
  SetPasswords(decrypt, "right", "right");
  Child<QPushButton>(decrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(decrypt, &frmEncryptFile::ActionFinished));
  EXPECT_EQ(ReadAll(dir.filePath("existing.txt")), "the secret plans");

  frmEncryptFile missing(host);
  Child<QLineEdit>(missing, "txtSrcFile")->setText(dir.filePath("nope.txt"));
  Child<QLineEdit>(missing, "txtFileResult")->setText(dir.filePath("nope.vkf"));
  SetPasswords(missing, "p", "p");
  host.messages.clear();
  Child<QPushButton>(missing, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(missing, &frmEncryptFile::ActionFinished));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.messages[0].text.contains("nope.txt")) << host.messages[0].text.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("nope.vkf")));
  EXPECT_EQ(host.files, 1);
  EXPECT_EQ(host.history.size(), 1u);
}

TEST(FileView, CancelInTheMiddleLeavesNoDestination) {
  QTemporaryDir dir;
  FakeHost host;
  {
    QFile big(dir.filePath("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    QByteArray block(1 << 20, 'v');
    for (int i = 0; i < 256; ++i) big.write(block);
  }
  frmEncryptFile view(host);
  Child<QLineEdit>(view, "txtSrcFile")->setText(dir.filePath("big.bin"));
  Child<QLineEdit>(view, "txtFileResult")->setText(dir.filePath("big.vkf"));
  SetPasswords(view, "p", "p");
  QSignalSpy finished(&view, &frmEncryptFile::ActionFinished);
  QSignalSpy progress(Child<QProgressBar>(view, "prgProgress"), &QProgressBar::valueChanged);
  Child<QPushButton>(view, "btnCreateDigest")->click();
  // Cancel once the engine has made some progress through the file.
  ASSERT_TRUE(progress.wait(120000));
  Child<QPushButton>(view, "btnCancel")->click();
  ASSERT_TRUE(finished.wait(120000));
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  EXPECT_FALSE(QFile::exists(dir.filePath("big.vkf")));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"big.bin"});  // no temporary left either
  EXPECT_TRUE(host.history.empty());
  EXPECT_EQ(host.files, 0);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.statuses.last(), "Idle");
}

TEST(MessageView, EncryptsToUpperCaseHexCountsAndDecryptsBack) {
  FakeHost host;
  frmEncryptMessage encrypt(host);
  EXPECT_EQ(Child<QPushButton>(encrypt, "btnCreateDigest")->text(), "Encrypt Text");
  Child<QPlainTextEdit>(encrypt, "txtSrcMsg")->setPlainText("Meet at noon \u00e9\u65e5");
  SetPasswords(encrypt, " pw", "pw ");
  ASSERT_TRUE(Child<QPushButton>(encrypt, "btnCreateDigest")->isEnabled());
  Child<QPushButton>(encrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(encrypt, &frmEncryptMessage::ActionFinished));
  QString hex = Child<QPlainTextEdit>(encrypt, "txtMsgResult")->toPlainText();
  EXPECT_FALSE(hex.isEmpty());
  EXPECT_EQ(hex.size() % 2, 0);
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]+$").match(hex).hasMatch());
  EXPECT_EQ(host.messagesEncrypted, 1);
  EXPECT_EQ(host.statuses, (QStringList{"Encrypting Text...", "Idle"}));

  frmEncryptMessage decrypt(host);
  decrypt.SetDoingDecrypt(true);
  EXPECT_EQ(Child<QGroupBox>(decrypt, "fraMsgSrc")->title(), "Encrypted Text");
  EXPECT_EQ(Child<QGroupBox>(decrypt, "fraMsgResult")->title(), "Decrypted Text");
  EXPECT_FALSE(Child<QPushButton>(decrypt, "btnCreateKeyPair")->isEnabled());
  Child<QPlainTextEdit>(decrypt, "txtSrcMsg")->setPlainText(hex);
  SetPasswords(decrypt, " pw", " pw");
  Child<QPushButton>(decrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(decrypt, &frmEncryptMessage::ActionFinished));
  EXPECT_EQ(Child<QPlainTextEdit>(decrypt, "txtMsgResult")->toPlainText(), "Meet at noon \u00e9\u65e5");
  EXPECT_EQ(host.messagesEncrypted, 1);

  SetPasswords(decrypt, " pw\t", " pw");  // only spaces are trimmed
  EXPECT_FALSE(Child<QPushButton>(decrypt, "btnCreateDigest")->isEnabled());
  SetPasswords(decrypt, "pw", "pw");  // the engine must get " pw" to succeed
  Child<QPushButton>(decrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(decrypt, &frmEncryptMessage::ActionFinished));
  EXPECT_TRUE(Child<QPlainTextEdit>(decrypt, "txtMsgResult")->toPlainText().isEmpty());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "The password is wrong or the data is damaged; nothing was decrypted.");
}

TEST(MessageView, RsaThroughCreateKeyCopyKeyBackAndAPastedPrivateKey) {
  FakeHost host;
  frmEncryptMessage encrypt(host);
  encrypt.Options().EncAlgoButton()->menu()->actions().at(2)->trigger();
  ASSERT_TRUE(encrypt.RsaMode());
  EXPECT_TRUE(Child<QWidget>(encrypt, "fraKeyOptions")->isVisibleTo(&encrypt) ||
              !Child<QWidget>(encrypt, "fraEncOptions")->isVisibleTo(&encrypt));
  auto* action = Child<QPushButton>(encrypt, "btnCreateDigest");
  SetPasswords(encrypt, "x", "x");
  EXPECT_FALSE(action->isEnabled());  // RSA needs a key, not a password

  QString privateHex;
  encrypt.SetDialogRunner([&](QDialog&, frmCreateKeyPair& keys) {
    EXPECT_EQ(Child<QToolButton>(keys, "btnKeySize")->text(), "Key Size: 1024 Bits");
    EXPECT_FALSE(Child<QPushButton>(keys, "btnCopyKeyOver")->isVisibleTo(&keys));
    QSignalSpy made(&keys, &frmCreateKeyPair::KeyPairFinished);
    Child<QPushButton>(keys, "btnCreate")->click();
    ASSERT_TRUE(made.wait(120000));
    EXPECT_TRUE(Child<QPushButton>(keys, "btnCopyKeyOver")->isVisibleTo(&keys));
    Child<QPushButton>(keys, "btnCopyKeyOver")->click();
    privateHex = Child<QPlainTextEdit>(keys, "txtPrivateKey")->toPlainText();
  });
  Child<QPushButton>(encrypt, "btnCreateKeyPair")->click();
  QString publicHex = Child<QPlainTextEdit>(encrypt, "txtPublicKey")->toPlainText();
  ASSERT_FALSE(publicHex.isEmpty());
  EXPECT_NE(publicHex, privateHex);
  EXPECT_TRUE(action->isEnabled());

  QString message(3000, QChar('m'));  // longer than one RSA block
  Child<QPlainTextEdit>(encrypt, "txtSrcMsg")->setPlainText(message);
  action->click();
  ASSERT_TRUE(WaitFor(encrypt, &frmEncryptMessage::ActionFinished));
  QString sealed = Child<QPlainTextEdit>(encrypt, "txtMsgResult")->toPlainText();
  ASSERT_FALSE(sealed.isEmpty());
  EXPECT_EQ(host.messagesEncrypted, 1);
  // The view's default key size encrypts, with a warning.
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].icon, CryptoViewHost::Icon::kWarning);
  EXPECT_EQ(host.messages[0].text, "A key of 1024 bits is weak: use a key of 2048 bits or more.");

  frmEncryptMessage decrypt(host);
  decrypt.SetDoingDecrypt(true);
  decrypt.Options().SetSelectedEncAlgo("ALGO_RSA");
  EXPECT_EQ(Child<QGroupBox>(decrypt, "fraKeyOptions")->title(), "Private Key to Decrypt With");
  Child<QPlainTextEdit>(decrypt, "txtPublicKey")->setPlainText(privateHex);
  Child<QPlainTextEdit>(decrypt, "txtSrcMsg")->setPlainText(sealed);
  Child<QPushButton>(decrypt, "btnCreateDigest")->click();
  ASSERT_TRUE(WaitFor(decrypt, &frmEncryptMessage::ActionFinished));
  EXPECT_EQ(Child<QPlainTextEdit>(decrypt, "txtMsgResult")->toPlainText(), message);
}

TEST(MessageView, ClosingTheViewMidWayPutsTheCursorBack) {
  FakeHost host;
  auto view = std::make_unique<frmEncryptMessage>(host);
  Child<QPlainTextEdit>(*view, "txtSrcMsg")->setPlainText("text");
  SetPasswords(*view, "pw", "pw");
  Child<QPushButton>(*view, "btnCreateDigest")->click();
  ASSERT_TRUE(view->Busy());
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  view.reset();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(KeyPairView, CreatesPairsReplacesThemAndOffersNoCopyWithoutATarget) {
  FakeHost host;
  frmCreateKeyPair view(host);
  auto* size = Child<QToolButton>(view, "btnKeySize");
  EXPECT_EQ(size->text(), "Key Size: 1024 Bits");
  EXPECT_EQ(view.KeySizeBits(), 1024);
  EXPECT_EQ(size->menu()->actions().size(), 10);
  EXPECT_EQ(size->menu()->actions().last()->text(), "7128 Bits");
  size->menu()->actions().at(2)->trigger();
  EXPECT_EQ(size->text(), "Key Size: 512 Bits");
  view.SetSelectedKeySize("KEYSIZE_9");
  EXPECT_EQ(view.SelectedKeySize(), "KEYSIZE_9");
  EXPECT_EQ(view.KeySizeBits(), 512);

  Child<QPushButton>(view, "btnCreate")->click();
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ASSERT_TRUE(WaitFor(view, &frmCreateKeyPair::KeyPairFinished));
  QString first = Child<QPlainTextEdit>(view, "txtPublicKey")->toPlainText();
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]+$").match(first).hasMatch());
  EXPECT_FALSE(Child<QPushButton>(view, "btnCopyKeyOver")->isVisibleTo(&view));
  EXPECT_EQ(host.statuses, (QStringList{"Creating Key Pair...", "Idle"}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  Child<QPushButton>(view, "btnCreate")->click();
  ASSERT_TRUE(WaitFor(view, &frmCreateKeyPair::KeyPairFinished));
  EXPECT_NE(Child<QPlainTextEdit>(view, "txtPublicKey")->toPlainText(), first);
}

TEST(KeyPairView, ClosingTheDialogMidCreationReturnsAtOnceAndLeavesNothingBehind) {
  FakeHost host;
  frmEncryptMessage encrypt(host);
  encrypt.Options().SetSelectedEncAlgo("ALGO_RSA");
  encrypt.SetDialogRunner([&](QDialog&, frmCreateKeyPair& keys) {
    keys.SetSelectedKeySize("KEYSIZE_7128");  // many seconds of work on any machine
    Child<QPushButton>(keys, "btnCreate")->click();
    ASSERT_TRUE(keys.Busy());
  });
  QElapsedTimer closing;
  closing.start();
  Child<QPushButton>(encrypt, "btnCreateKeyPair")->click();
  // Waiting for the pair took 7 to 15 s here; a stop takes one prime candidate.
  EXPECT_LT(closing.elapsed(), 3000);
  QApplication::processEvents();
  EXPECT_TRUE(Child<QPlainTextEdit>(encrypt, "txtPublicKey")->toPlainText().isEmpty());
  EXPECT_EQ(host.statuses, (QStringList{"Creating Key Pair...", "Idle"}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(Screenshots, EachViewInBothModes) {
  FakeHost host;
  auto save = [](QWidget& view, const char* name) {
    view.resize(760, 560);
    view.show();
    QApplication::processEvents();
    EXPECT_TRUE(view.grab().save(QString::fromLatin1(name))) << name;
  };
  for (bool decrypting : {false, true}) {
    frmEncryptFile file(host);
    file.SetDoingDecrypt(decrypting);
    save(file, decrypting ? "view-decrypt-file.png" : "view-encrypt-file.png");
    frmEncryptMessage message(host);
    message.SetDoingDecrypt(decrypting);
    save(message, decrypting ? "view-decrypt-message.png" : "view-encrypt-message.png");
  }
  frmCreateKeyPair keys(host);
  save(keys, "view-create-key-pair.png");
}

}  // namespace
}  // namespace vk
