#pragma once

// What the app's tests share: message boxes answered from a script, a
// stand-in store cipher for the settings logic, modal dialogs answered as a
// user would, and look-ups of widgets by their control names.

#include <deque>
#include <functional>
#include <vector>

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "settings/ProgramPassword.h"
#include "settings/StoreCipher.h"
#include "shell/MessageBoxes.h"

namespace vk::test {

struct ShownBox {
  MessageBoxes::Icon icon;
  MessageBoxes::Buttons buttons;
  QString title;
  QString text;
  bool cancelIsDefault;
};

// Installed for its lifetime; answers from `answers` in order, then OK.
class ScriptedBoxes : public MessageBoxes {
 public:
  ScriptedBoxes() { SetMessageBoxes(this); }
  ~ScriptedBoxes() override { SetMessageBoxes(nullptr); }
  Answer Show(QWidget*, Icon icon, Buttons buttons, const QString& title, const QString& text,
              bool cancelIsDefault) override {
    shown.push_back({icon, buttons, title, text, cancelIsDefault});
    if (answers.empty()) return Answer::kOk;
    Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<Answer> answers;
  std::vector<ShownBox> shown;
};

// Seals by prefixing a marker and reversing the bytes; anything without the
// marker is refused, as a damaged file would be.
class ReversingCipher : public StoreCipher {
 public:
  Bytes Encrypt(const Bytes& plain) override;
  Bytes Decrypt(const Bytes& sealed) override;
  void WriteBufferToFile(const Bytes& plain, const std::string& path) override;
  Bytes ReadBufferFromFile(const std::string& path) override;
};

// The engine's verifier when the engine is built, else a salted SHA-256
// stand-in with the same contract.
PasswordCheck TestPasswordCheck();

// Runs `answer` on the next modal dialog with that object name once it is
// shown (polling), failing the test if none comes within the time-out.
class ModalAnswerer : public QObject {
 public:
  ModalAnswerer(const QString& objectName, std::function<void(QWidget*)> answer, int timeoutMs = 10000);
  bool Answered() const { return answered_; }

 private:
  QString name_;
  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  int remainingMs_;
  bool answered_ = false;
};

template <typename T>
T* Find(QWidget* root, const char* name) {
  T* found = root->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << "no control named " << name;
  return found;
}

void TypeInto(QWidget* lineEdit, const QString& text);
void Click(QWidget* button);
void ProcessEvents();

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

}  // namespace vk::test
