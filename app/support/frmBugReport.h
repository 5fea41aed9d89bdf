#pragma once

// The support request view: a support request (bug report) or a suggestion,
// posted as a web form to the maker's server. Each use is a new document.

#include <QString>
#include <QUrl>
#include <QWidget>

#include "support/FormPoster.h"
#include "support/SupportRequest.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QGroupBox;

namespace vk {

// What the view needs from the program around it.
class SupportHost {
 public:
  enum class Icon { kQuestion, kInformation };
  virtual ~SupportHost() = default;
  virtual void SetGeneralStatus(const QString& text) = 0;
  // The installation identifier sent with every request.
  virtual QString InstallId() = 0;
  virtual void ShowMessage(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
};

class frmBugReport : public QWidget {
  Q_OBJECT

 public:
  explicit frmBugReport(SupportHost& host, QWidget* parent = nullptr);
  ~frmBugReport() override;

  int Severity() const { return severity_; }
  void SetSeverity(int value);
  int Criticality() const { return criticality_; }
  void SetCriticality(int value);
  int SuggestionType() const { return suggestionType_; }
  void SetSuggestionType(int value);

  ReportType SelectedType() const;
  void SelectType(ReportType type);

  // The maker's server; tests point it elsewhere.
  void SetServerBase(const QUrl& base) { serverBase_ = base; }
  // Seconds a post may wait for the server; 30 unless a test is impatient.
  void SetRequestTimeout(int seconds) { timeoutSeconds_ = seconds; }

  void ReadyToSubmit();
  void Submit();

 signals:
  // The post is over and the view is usable again, whatever the outcome.
  void SubmitFinished();

 private:
  void BuildMenu(QToolButton* button, std::span<const MenuItem> items, const char* prefix, void (frmBugReport::*set)(int));
  void MirrorEMail(QLineEdit* from, QLineEdit* to);
  void OnPosted(const PostResult& result);
  void LimitNotes(QPlainTextEdit* box);

  SupportHost& host_;
  FormPoster poster_;
  QUrl serverBase_{QString::fromLatin1(kSupportServerBase)};
  int severity_ = 1;
  int criticality_ = 1;
  int suggestionType_ = 1;
  int timeoutSeconds_ = 30;
  bool mirroring_ = false;

  QGroupBox* fraReportType_;
  QRadioButton* optSupport_;
  QRadioButton* optSuggest_;
  QGroupBox* fraBugInfo_;
  QLineEdit* txtTitle_;
  QToolButton* btnSeverity_;
  QToolButton* btnCriticality_;
  QPlainTextEdit* txtNotes_;
  QLineEdit* txtEMail_;
  QGroupBox* fraSuggest_;
  QLineEdit* txtTitleSuggest_;
  QToolButton* btnSuggestType_;
  QPlainTextEdit* txtNotesSuggest_;
  QLineEdit* txtEMailSuggest_;
  QPushButton* btnOk_;
  QLabel* lblLabels_;
};

}  // namespace vk
