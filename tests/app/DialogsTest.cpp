// The login and the set-password dialog, typed into and clicked as a user would.

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "settings/AppSettings.h"
#include "shell/frmLogin.h"
#include "shell/frmProgPWD.h"

namespace vk {
namespace {

using test::Click;
using test::Find;
using test::TypeInto;

class LoginTest : public ::testing::Test {
 protected:
  PasswordCheck check_ = test::TestPasswordCheck();
  test::ScriptedBoxes boxes_;
};

TEST_F(LoginTest, OnlyTheExactPasswordEntersAndEveryMistakeIsReported) {
  frmLogin login(check_.makeStored(QStringLiteral(" Secret")), check_);
  login.show();
  EXPECT_EQ(login.windowTitle(), QStringLiteral("Validation"));
  auto* box = Find<QLineEdit>(&login, "txtEnterCurrentPWD");
  auto* enter = Find<QPushButton>(&login, "btnOk");
  EXPECT_EQ(Find<QLabel>(&login, "lblLabels")->text(), QStringLiteral("Enter Program Password"));
  EXPECT_EQ(enter->text(), QStringLiteral("Enter"));
  EXPECT_FALSE(enter->isEnabled());

  TypeInto(box, QStringLiteral("   "));
  EXPECT_FALSE(enter->isEnabled());

  for (const QString& wrong : {QStringLiteral("Secret"), QStringLiteral(" secret"), QStringLiteral(" SECRET")}) {
    TypeInto(box, wrong);
    ASSERT_TRUE(enter->isEnabled());
    Click(enter);
    EXPECT_TRUE(login.isVisible()) << wrong.toStdString();
    EXPECT_EQ(box->text(), wrong);
  }
  ASSERT_EQ(boxes_.shown.size(), 3u);
  for (const auto& shown : boxes_.shown) {
    EXPECT_EQ(shown.title, QStringLiteral("Warning"));
    EXPECT_EQ(shown.text, QStringLiteral("Invalid Password!"));
    EXPECT_EQ(shown.icon, MessageBoxes::Icon::kCritical);
  }
  EXPECT_TRUE(login.HitCancel());

  TypeInto(box, QStringLiteral(" Secret"));
  Click(enter);
  EXPECT_FALSE(login.isVisible());
  EXPECT_FALSE(login.HitCancel());
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(boxes_.shown.size(), 3u);
}

TEST_F(LoginTest, CancelAndTheCloseBoxLeaveWithHitCancel) {
  frmLogin login(check_.makeStored(QStringLiteral("pw")), check_);
  login.show();
  TypeInto(Find<QLineEdit>(&login, "txtEnterCurrentPWD"), QStringLiteral("pw"));
  Click(Find<QPushButton>(&login, "btnCancel"));
  EXPECT_TRUE(login.HitCancel());
  EXPECT_FALSE(login.isVisible());

  frmLogin closed(check_.makeStored(QStringLiteral("pw")), check_);
  closed.show();
  closed.close();
  EXPECT_TRUE(closed.HitCancel());
  EXPECT_FALSE(closed.isVisible());
}

class SetPasswordTest : public ::testing::Test {
 protected:
  QLabel* CurrentLabel(QWidget* dialog) {
    for (QLabel* label : dialog->findChildren<QLabel*>(QStringLiteral("lblLabels")))
      if (label->property("Index").toInt() == 2) return label;
    return nullptr;
  }
  QTemporaryDir dir_;
  AppSettings settings_{dir_.path()};
  PasswordCheck check_ = test::TestPasswordCheck();
  test::ScriptedBoxes boxes_;
};

TEST_F(SetPasswordTest, WithNoPasswordTheCurrentBoxIsOffAndTheTypedPasswordIsStoredAsAVerifier) {
  settings_.SetProgramPWD(AppSettings::kUnsetValue);
  frmProgPWD dialog(settings_, check_);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Set Program Password"));
  EXPECT_FALSE(Find<QLineEdit>(&dialog, "txtEnterCurrentPWD")->isEnabled());
  ASSERT_NE(CurrentLabel(&dialog), nullptr);
  EXPECT_FALSE(CurrentLabel(&dialog)->isEnabled());
  EXPECT_EQ(CurrentLabel(&dialog)->text(), QStringLiteral("Enter Current Password"));
  auto* save = Find<QPushButton>(&dialog, "btnOk");
  EXPECT_EQ(save->text(), QStringLiteral("Save"));
  EXPECT_FALSE(save->isEnabled());

  TypeInto(Find<QLineEdit>(&dialog, "txtPWD1"), QStringLiteral(" New Pass "));
  EXPECT_FALSE(save->isEnabled());
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD2"), QStringLiteral("new pass"));
  EXPECT_FALSE(save->isEnabled());
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD2"), QStringLiteral("New Pass"));
  EXPECT_TRUE(save->isEnabled());
  Click(save);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(boxes_.shown.empty());

  // Stored as a verifier of the first box exactly as typed, never as the text.
  const QString stored = settings_.ProgramPWD();
  EXPECT_FALSE(stored.contains(QStringLiteral("New Pass")));
  EXPECT_FALSE(stored.contains(QLatin1Char('|')));
  EXPECT_TRUE(check_.matches(stored, QStringLiteral(" New Pass ")));
  EXPECT_FALSE(check_.matches(stored, QStringLiteral("New Pass")));
}

TEST_F(SetPasswordTest, ABarOrOnlySpacesAreRefusedWithAMessage) {
  frmProgPWD dialog(settings_, check_);
  dialog.show();
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD1"), QStringLiteral("a|b"));
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD2"), QStringLiteral("a|b"));
  Click(Find<QPushButton>(&dialog, "btnOk"));
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("Set Program Password"));
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("The program password cannot contain the character \"|\".  "
                                                 "Please choose another password."));
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD1"), QStringLiteral("  "));
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD2"), QStringLiteral(" "));
  Click(Find<QPushButton>(&dialog, "btnOk"));
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[1].text, QStringLiteral("The program password cannot consist of spaces only.  "
                                                 "Please choose another password."));
  EXPECT_EQ(settings_.ProgramPWD(), QString());
}

TEST_F(SetPasswordTest, ChangingAPasswordNeedsTheCurrentOne) {
  settings_.SetProgramPWD(check_.makeStored(QStringLiteral("old")));
  const QString before = settings_.ProgramPWD();
  frmProgPWD dialog(settings_, check_);
  dialog.show();
  EXPECT_TRUE(Find<QLineEdit>(&dialog, "txtEnterCurrentPWD")->isEnabled());
  EXPECT_TRUE(CurrentLabel(&dialog)->isEnabled());
  TypeInto(Find<QLineEdit>(&dialog, "txtEnterCurrentPWD"), QStringLiteral("OLD"));
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD1"), QStringLiteral("new"));
  TypeInto(Find<QLineEdit>(&dialog, "txtPWD2"), QStringLiteral("new"));
  Click(Find<QPushButton>(&dialog, "btnOk"));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, QStringLiteral("The current password is not correct."));
  EXPECT_EQ(settings_.ProgramPWD(), before);

  TypeInto(Find<QLineEdit>(&dialog, "txtEnterCurrentPWD"), QStringLiteral("old"));
  Click(Find<QPushButton>(&dialog, "btnOk"));
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(check_.matches(settings_.ProgramPWD(), QStringLiteral("new")));

  // Cancel changes nothing.
  const QString changed = settings_.ProgramPWD();
  frmProgPWD again(settings_, check_);
  again.show();
  TypeInto(Find<QLineEdit>(&again, "txtPWD1"), QStringLiteral("x"));
  TypeInto(Find<QLineEdit>(&again, "txtPWD2"), QStringLiteral("x"));
  Click(Find<QPushButton>(&again, "btnCancel"));
  EXPECT_EQ(settings_.ProgramPWD(), changed);
}

}  // namespace
}  // namespace vk
