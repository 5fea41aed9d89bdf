#include "support/frmBugReport.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "common/Guid.h"
#include "vk/Version.h"

namespace vk {

namespace {

constexpr int kTitleLimit = 100;
constexpr int kNotesLimit = 1000;
constexpr int kEMailLimit = 100;

QLineEdit* NewLineEdit(const char* name, int limit, QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setMaxLength(limit);
  return box;
}

QToolButton* NewMenuButton(const char* name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setPopupMode(QToolButton::InstantPopup);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setMinimumWidth(200);
  return button;
}

}  // namespace

frmBugReport::frmBugReport(SupportHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("frmBugReport"));
  setWindowTitle(QStringLiteral("Bug Report"));

  fraReportType_ = new QGroupBox(QStringLiteral("Type of Report"), this);
  fraReportType_->setObjectName(QStringLiteral("fraReportType"));
  optSupport_ = new QRadioButton(QStringLiteral("Support Request/Bug Report"), fraReportType_);
  optSupport_->setObjectName(QStringLiteral("optSupportType_0"));
  optSuggest_ = new QRadioButton(QStringLiteral("Suggestion/Enhancement Request"), fraReportType_);
  optSuggest_->setObjectName(QStringLiteral("optSupportType_1"));
  auto* typeLayout = new QHBoxLayout(fraReportType_);
  typeLayout->addWidget(optSupport_);
  typeLayout->addWidget(optSuggest_);
  typeLayout->addStretch();

  fraBugInfo_ = new QGroupBox(QStringLiteral("Support/Bug Information"), this);
  fraBugInfo_->setObjectName(QStringLiteral("fraBugInfo"));
  txtTitle_ = NewLineEdit("txtTitle", kTitleLimit, fraBugInfo_);
  btnSeverity_ = NewMenuButton("btnSeverity", fraBugInfo_);
  btnCriticality_ = NewMenuButton("btnCriticality", fraBugInfo_);
  txtNotes_ = new QPlainTextEdit(fraBugInfo_);
  txtNotes_->setObjectName(QStringLiteral("txtNotes"));
  txtEMail_ = NewLineEdit("txtEMail", kEMailLimit, fraBugInfo_);
  auto* bugLayout = new QFormLayout(fraBugInfo_);
  bugLayout->setRowWrapPolicy(QFormLayout::WrapAllRows);
  bugLayout->addRow(QStringLiteral("Create a Title/Subject for the Problem (100 Characters)"), txtTitle_);
  bugLayout->addRow(QStringLiteral("How bad is the Bug?"), btnSeverity_);
  bugLayout->addRow(QStringLiteral("How important is it to get the bug fixed?"), btnCriticality_);
  bugLayout->addRow(QStringLiteral("Comments/Steps to Reproduce the Bug (1000 Characters)"), txtNotes_);
  bugLayout->addRow(QStringLiteral("Your E-Mail Address (100 Characters)"), txtEMail_);

  fraSuggest_ = new QGroupBox(QStringLiteral("Suggestion/Enhancement Request Information"), this);
  fraSuggest_->setObjectName(QStringLiteral("fraSuggest"));
  txtTitleSuggest_ = NewLineEdit("txtTitleSuggest", kTitleLimit, fraSuggest_);
  btnSuggestType_ = NewMenuButton("btnSuggestType", fraSuggest_);
  txtNotesSuggest_ = new QPlainTextEdit(fraSuggest_);
  txtNotesSuggest_->setObjectName(QStringLiteral("txtNotesSuggest"));
  txtEMailSuggest_ = NewLineEdit("txtEMailSuggest", kEMailLimit, fraSuggest_);
  auto* suggestLayout = new QFormLayout(fraSuggest_);
  suggestLayout->setRowWrapPolicy(QFormLayout::WrapAllRows);
  suggestLayout->addRow(QStringLiteral("Create a Title/Subject for the Suggestion (100 Characters)"), txtTitleSuggest_);
  suggestLayout->addRow(QStringLiteral("What Type of Suggestion?"), btnSuggestType_);
  suggestLayout->addRow(QStringLiteral("Suggestion(s) (1000 Characters)"), txtNotesSuggest_);
  suggestLayout->addRow(QStringLiteral("Your E-Mail Address (100 Characters)"), txtEMailSuggest_);

  btnOk_ = new QPushButton(QStringLiteral("Submit"), this);
  btnOk_->setObjectName(QStringLiteral("btnOk"));
  btnOk_->setEnabled(false);
  lblLabels_ = new QLabel(QStringLiteral("If the request cannot be submitted, you can send it by e-mail to ") +
                              QString::fromLatin1(kSupportEMail) + QStringLiteral(" instead."),
                          this);
  lblLabels_->setObjectName(QStringLiteral("lblLabels"));
  lblLabels_->setWordWrap(true);

  // The two frames share one place; the report type decides which shows.
  auto* frames = new QStackedLayout;
  frames->addWidget(fraBugInfo_);
  frames->addWidget(fraSuggest_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fraReportType_);
  layout->addLayout(frames);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lblLabels_, 1);
  bottom->addWidget(btnOk_);
  layout->addLayout(bottom);

  BuildMenu(btnSeverity_, SeverityItems(), kSeverityPrefix, &frmBugReport::SetSeverity);
  BuildMenu(btnCriticality_, CriticalityItems(), kCriticalityPrefix, &frmBugReport::SetCriticality);
  BuildMenu(btnSuggestType_, SuggestionItems(), kSuggestionPrefix, &frmBugReport::SetSuggestionType);
  SetSeverity(1);
  SetCriticality(1);
  SetSuggestionType(1);

  connect(optSupport_, &QRadioButton::toggled, this, [this, frames](bool on) {
    if (on) frames->setCurrentWidget(fraBugInfo_);
    ReadyToSubmit();
  });
  connect(optSuggest_, &QRadioButton::toggled, this, [this, frames](bool on) {
    if (on) frames->setCurrentWidget(fraSuggest_);
    ReadyToSubmit();
  });
  for (QLineEdit* box : {txtTitle_, txtTitleSuggest_}) connect(box, &QLineEdit::textChanged, this, &frmBugReport::ReadyToSubmit);
  for (QPlainTextEdit* box : {txtNotes_, txtNotesSuggest_}) {
    connect(box, &QPlainTextEdit::textChanged, this, [this, box] {
      LimitNotes(box);
      ReadyToSubmit();
    });
  }
  connect(txtEMail_, &QLineEdit::textChanged, this, [this] {
    MirrorEMail(txtEMail_, txtEMailSuggest_);
    ReadyToSubmit();
  });
  connect(txtEMailSuggest_, &QLineEdit::textChanged, this, [this] {
    MirrorEMail(txtEMailSuggest_, txtEMail_);
    ReadyToSubmit();
  });
  connect(btnOk_, &QPushButton::clicked, this, &frmBugReport::Submit);
  connect(&poster_, &FormPoster::Finished, this, &frmBugReport::OnPosted);

  optSupport_->setChecked(true);
}

frmBugReport::~frmBugReport() {
  // Closed while a post is under way: the post dies with the view and its
  // answer never comes, so the wait cursor is put back here.
  if (poster_.Busy()) QApplication::restoreOverrideCursor();
}

void frmBugReport::BuildMenu(QToolButton* button, std::span<const MenuItem> items, const char* prefix,
                             void (frmBugReport::*set)(int)) {
  auto* menu = new QMenu(button);
  for (const MenuItem& item : items) {
    QAction* action = menu->addAction(QString::fromLatin1(item.caption));
    action->setData(QString::fromLatin1(item.key));
    connect(action, &QAction::triggered, this, [this, action, prefix, set] {
      int value = ValueOfKey(action->data().toString(), prefix);
      if (value >= 0) (this->*set)(value);
    });
  }
  button->setMenu(menu);
}

void frmBugReport::SetSeverity(int value) {
  severity_ = value;
  btnSeverity_->setText(QStringLiteral("Severity: ") + CaptionForValue(SeverityItems(), kSeverityPrefix, value));
}

void frmBugReport::SetCriticality(int value) {
  criticality_ = value;
  btnCriticality_->setText(QStringLiteral("Criticality: ") +
                           CaptionForValue(CriticalityItems(), kCriticalityPrefix, value));
}

void frmBugReport::SetSuggestionType(int value) {
  suggestionType_ = value;
  btnSuggestType_->setText(QStringLiteral("Type: ") + CaptionForValue(SuggestionItems(), kSuggestionPrefix, value));
}

ReportType frmBugReport::SelectedType() const {
  return optSuggest_->isChecked() ? ReportType::kSuggestion : ReportType::kSupport;
}

void frmBugReport::SelectType(ReportType type) {
  (type == ReportType::kSupport ? optSupport_ : optSuggest_)->setChecked(true);
}

void frmBugReport::MirrorEMail(QLineEdit* from, QLineEdit* to) {
  if (mirroring_) return;
  mirroring_ = true;
  if (to->text() != from->text()) to->setText(from->text());
  mirroring_ = false;
}

void frmBugReport::LimitNotes(QPlainTextEdit* box) {
  QString text = box->toPlainText();
  if (text.size() <= kNotesLimit) return;
  QSignalBlocker block(box);
  box->setPlainText(text.left(kNotesLimit));
  QTextCursor cursor = box->textCursor();
  cursor.movePosition(QTextCursor::End);
  box->setTextCursor(cursor);
}

void frmBugReport::ReadyToSubmit() {
  if (poster_.Busy()) return;
  bool support = SelectedType() == ReportType::kSupport;
  btnOk_->setEnabled(support ? vk::ReadyToSubmit(txtTitle_->text(), txtNotes_->toPlainText(), txtEMail_->text())
                             : vk::ReadyToSubmit(txtTitleSuggest_->text(), txtNotesSuggest_->toPlainText(),
                                                 txtEMailSuggest_->text()));
}

void frmBugReport::Submit() {
  if (poster_.Busy()) return;
  btnOk_->setEnabled(false);
  host_.SetGeneralStatus(QStringLiteral("Submitting Request..."));
  QApplication::setOverrideCursor(Qt::WaitCursor);

  ReportType type = SelectedType();
  bool support = type == ReportType::kSupport;
  SupportInput input;
  input.title = support ? txtTitle_->text() : txtTitleSuggest_->text();
  input.notes = support ? txtNotes_->toPlainText() : txtNotesSuggest_->toPlainText();
  input.email = support ? txtEMail_->text() : txtEMailSuggest_->text();
  input.severity = severity_;
  input.criticality = criticality_;
  input.suggestionType = suggestionType_;

  poster_.SetUserAgent(QStringLiteral("Velkor"));
  poster_.SetMaxTransferredData(0);
  poster_.SetTimeoutSeconds(timeoutSeconds_);
  QUrl url = serverBase_;
  url.setPath(ScriptPath(type));
  poster_.Post(url, BuildFields(type, input, QString::number(kVersionRevision), host_.InstallId(),
                                QString::fromStdString(NewGuidText())));
}

void frmBugReport::OnPosted(const PostResult& result) {
  if (!result.answered) {
    host_.ShowMessage(this, SupportHost::Icon::kQuestion, QStringLiteral("Warning"),
                      TransportWarningText(result.errorNumber));
  } else if (result.body != QLatin1String("SUCCESS")) {
    host_.ShowMessage(this, SupportHost::Icon::kQuestion, QStringLiteral("Warning"), ResponseWarningText());
  } else {
    host_.ShowMessage(this, SupportHost::Icon::kInformation, QStringLiteral("Thank You"), ThankYouText());
    for (QLineEdit* box : {txtTitle_, txtEMail_, txtTitleSuggest_, txtEMailSuggest_}) box->clear();
    txtNotes_->clear();
    txtNotesSuggest_->clear();
    SetCriticality(1);
    SetSeverity(1);
    SetSuggestionType(1);
  }
  QApplication::restoreOverrideCursor();
  host_.SetGeneralStatus(QStringLiteral("Idle"));
  // The rule decides again rather than enabling Submit over empty boxes,
  // which would let an empty request go out.
  ReadyToSubmit();
  emit SubmitFinished();
}

}  // namespace vk
