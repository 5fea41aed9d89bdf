// The options view's check boxes and buttons against the settings.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "settings/AppSettings.h"
#include "settings/frmOptions.h"

namespace vk {
namespace {

using test::Click;
using test::Find;

class OptionsTest : public ::testing::Test {
 protected:
  std::unique_ptr<frmOptions> MakeView() {
    auto view = std::make_unique<frmOptions>(settings_, check_, [this] { ++clears_; });
    view->Load();
    view->show();
    return view;
  }
  QTemporaryDir dir_;
  AppSettings settings_{dir_.path()};
  PasswordCheck check_ = test::TestPasswordCheck();
  test::ScriptedBoxes boxes_;
  int clears_ = 0;
};

TEST_F(OptionsTest, LoadingWithEverythingOnChecksTheBoxesAndChangesNothing) {
  settings_.SetMaintainHistory(true);
  settings_.SetUseProgPWD(true);
  settings_.SetAutoProgUpdateCheck(true);
  settings_.SetEnableNewsFeed(true);
  settings_.SetProgramPWD(check_.makeStored(QStringLiteral("pw")));
  const std::string before = BuildSettingsString(settings_.Fields());
  auto view = MakeView();
  EXPECT_TRUE(Find<QCheckBox>(view.get(), "chkHoldHistory")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(view.get(), "chkUseProgPWD")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(view.get(), "chkProgUpdates")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(view.get(), "chkEnableRSSFeed")->isChecked());
  EXPECT_TRUE(Find<QPushButton>(view.get(), "btnClearHistory")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>(view.get(), "btnSetPWD")->isEnabled());
  EXPECT_EQ(Find<QPushButton>(view.get(), "btnSetPWD")->text(), QStringLiteral("Change Password"));
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(clears_, 0);
  EXPECT_EQ(BuildSettingsString(settings_.Fields()), before);
}

TEST_F(OptionsTest, TurningThePasswordOffAsksFirstAndCancelKeepsEverything) {
  settings_.SetUseProgPWD(true);
  settings_.SetProgramPWD(check_.makeStored(QStringLiteral("pw")));
  const QString stored = settings_.ProgramPWD();
  auto view = MakeView();
  auto* box = Find<QCheckBox>(view.get(), "chkUseProgPWD");
  auto* button = Find<QPushButton>(view.get(), "btnSetPWD");

  boxes_.answers = {MessageBoxes::Answer::kCancel};
  Click(box);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].title, QStringLiteral("WARNING"));
  EXPECT_EQ(boxes_.shown[0].buttons, MessageBoxes::Buttons::kOkCancel);
  EXPECT_TRUE(boxes_.shown[0].cancelIsDefault);
  EXPECT_EQ(boxes_.shown[0].text,
            QStringLiteral("WARNING! Not Utilizng a Program Password will enable anybody using the computer to "
                           "access certains functions such as 'Passwords' with no validation!\r\rAre you sure you "
                           "wish to allow this?"));
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(button->isEnabled());
  EXPECT_TRUE(settings_.UseProgPWD());
  EXPECT_EQ(settings_.ProgramPWD(), stored);

  Click(box);  // answered OK
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(button->isEnabled());
  EXPECT_FALSE(settings_.UseProgPWD());
  EXPECT_EQ(settings_.ProgramPWD(), QStringLiteral("UNSETVALUE"));

  Click(box);
  EXPECT_TRUE(settings_.UseProgPWD());
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(button->text(), QStringLiteral("Set Password"));
  EXPECT_EQ(boxes_.shown.size(), 2u);
}

TEST_F(OptionsTest, TurningTheHistoryOffClearsItAndTheOtherBoxesWriteTheirSettings) {
  settings_.SetMaintainHistory(true);
  auto view = MakeView();
  auto* history = Find<QCheckBox>(view.get(), "chkHoldHistory");
  auto* clear = Find<QPushButton>(view.get(), "btnClearHistory");
  Click(clear);
  EXPECT_EQ(clears_, 1);
  Click(history);
  EXPECT_EQ(clears_, 2);
  EXPECT_FALSE(clear->isEnabled());
  EXPECT_FALSE(settings_.MaintainHistory());
  Click(history);
  EXPECT_TRUE(clear->isEnabled());
  EXPECT_TRUE(settings_.MaintainHistory());
  EXPECT_EQ(clears_, 2);

  Click(Find<QCheckBox>(view.get(), "chkEnableRSSFeed"));
  EXPECT_TRUE(settings_.EnableNewsFeed());
  Click(Find<QCheckBox>(view.get(), "chkProgUpdates"));
  EXPECT_TRUE(settings_.AutoProgUpdateCheck());
  Click(Find<QCheckBox>(view.get(), "chkProgUpdates"));
  EXPECT_FALSE(settings_.AutoProgUpdateCheck());
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(OptionsTest, SetPasswordOpensTheDialogThatStoresTheNewPassword) {
  settings_.SetUseProgPWD(true);
  auto view = MakeView();
  test::ModalAnswerer answer(QStringLiteral("frmProgPWD"), [](QWidget* dialog) {
    test::TypeInto(dialog->findChild<QLineEdit*>(QStringLiteral("txtPWD1")), QStringLiteral("s3cret"));
    test::TypeInto(dialog->findChild<QLineEdit*>(QStringLiteral("txtPWD2")), QStringLiteral("s3cret"));
    dialog->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
  });
  Click(Find<QPushButton>(view.get(), "btnSetPWD"));
  EXPECT_TRUE(answer.Answered());
  EXPECT_TRUE(check_.matches(settings_.ProgramPWD(), QStringLiteral("s3cret")));
}

}  // namespace
}  // namespace vk
