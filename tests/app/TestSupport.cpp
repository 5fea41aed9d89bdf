#include "TestSupport.h"

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "cryptoengine/CryptoEngine.h"

namespace vk::test {

namespace {
const Bytes kMarker = {'S', 'E', 'A', 'L'};
}

Bytes ReversingCipher::Encrypt(const Bytes& plain) {
  Bytes sealed = kMarker;
  sealed.insert(sealed.end(), plain.rbegin(), plain.rend());
  return sealed;
}

Bytes ReversingCipher::Decrypt(const Bytes& sealed) {
  if (sealed.size() < kMarker.size() || !std::equal(kMarker.begin(), kMarker.end(), sealed.begin()))
    throw std::runtime_error("not sealed");
  return Bytes(sealed.rbegin(), sealed.rend() - static_cast<long>(kMarker.size()));
}

void ReversingCipher::WriteBufferToFile(const Bytes& plain, const std::string& path) {
  const Bytes sealed = Encrypt(plain);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(sealed.data()), static_cast<std::streamsize>(sealed.size()));
  if (!out) throw std::runtime_error("cannot write");
}

Bytes ReversingCipher::ReadBufferFromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read");
  Bytes sealed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Decrypt(sealed);
}

PasswordCheck TestPasswordCheck() { return EnginePasswordCheck(); }

ModalAnswerer::ModalAnswerer(const QString& objectName, std::function<void(QWidget*)> answer, int timeoutMs)
    : name_(objectName), answer_(std::move(answer)), remainingMs_(timeoutMs) {
  timer_.setInterval(20);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->objectName() == name_ && modal->isVisible()) {
      timer_.stop();
      answered_ = true;
      answer_(modal);
      return;
    }
    remainingMs_ -= 20;
    if (remainingMs_ <= 0) {
      timer_.stop();
      ADD_FAILURE() << "no modal dialog " << name_.toStdString() << " appeared";
      if (modal) modal->close();
    }
  });
  timer_.start();
}

void TypeInto(QWidget* lineEdit, const QString& text) {
  auto* box = qobject_cast<QLineEdit*>(lineEdit);
  ASSERT_NE(box, nullptr);
  box->clear();
  QTest::keyClicks(box, text);
}

void Click(QWidget* button) {
  auto* b = qobject_cast<QAbstractButton*>(button);
  ASSERT_NE(b, nullptr);
  b->click();
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

}  // namespace vk::test
