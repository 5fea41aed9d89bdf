#include "support/frmBugReport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>

#include <memory>

namespace vk {
namespace {

struct Message {
  SupportHost::Icon icon;
  QString title;
  QString text;
};

class FakeHost : public SupportHost {
 public:
  void SetGeneralStatus(const QString& text) override { statuses << text; }
  QString InstallId() override { return "{11111111-2222-4333-8444-555555555555}"; }
  void ShowMessage(QWidget*, Icon icon, const QString& title, const QString& text) override {
    messages.push_back({icon, title, text});
    // The wait cursor stays until the user has read the outcome.
    cursorWasWait = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
  }
  QStringList statuses;
  std::vector<Message> messages;
  bool cursorWasWait = false;
};

// A one-shot HTTP server on 127.0.0.1 that records the request and answers
// with a fixed body, or never answers.
class FormServer : public QObject {
 public:
  explicit FormServer(QByteArray answer, bool silent = false) : answer_(std::move(answer)), silent_(silent) {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      socket_.reset(server_.nextPendingConnection());
      connect(socket_.get(), &QTcpSocket::readyRead, this, [this] { OnData(); });
    });
  }
  QUrl Base() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort())); }
  QByteArray request;

 private:
  void OnData() {
    request += socket_->readAll();
    int end = request.indexOf("\r\n\r\n");
    if (end < 0 || silent_) return;
    int lengthAt = request.toLower().indexOf("content-length:");
    int length = request.mid(lengthAt + 15, request.indexOf("\r\n", lengthAt) - lengthAt - 15).trimmed().toInt();
    if (request.size() < end + 4 + length) return;
    socket_->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                   QByteArray::number(answer_.size()) + "\r\n\r\n" + answer_);
    socket_->disconnectFromHost();
  }
  QTcpServer server_;
  std::unique_ptr<QTcpSocket> socket_;
  QByteArray answer_;
  bool silent_;
};

template <class T>
T* Child(QWidget& view, const char* name) {
  T* child = view.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

void FillSupport(frmBugReport& view) {
  Child<QLineEdit>(view, "txtTitle")->setText("Title with \"quotes\"");
  Child<QPlainTextEdit>(view, "txtNotes")->setPlainText("It's broken + more");
  Child<QLineEdit>(view, "txtEMail")->setText("user@example.org");
}

bool WaitFor(frmBugReport& view, int ms) {
  QSignalSpy finished(&view, &frmBugReport::SubmitFinished);
  return finished.wait(ms);
}

QByteArray Body(const QByteArray& request) { return request.mid(request.indexOf("\r\n\r\n") + 4); }

TEST(BugReportView, SubmitEnablesOnlyWhenTheSelectedFormIsCompleteAndMirrorsTheAddress) {
  FakeHost host;
  frmBugReport view(host);
  auto* submit = Child<QPushButton>(view, "btnOk");
  EXPECT_FALSE(submit->isEnabled());
  Child<QLineEdit>(view, "txtTitle")->setText("   ");
  Child<QPlainTextEdit>(view, "txtNotes")->setPlainText("notes");
  Child<QLineEdit>(view, "txtEMailSuggest")->setText("a@b.c");
  EXPECT_EQ(Child<QLineEdit>(view, "txtEMail")->text(), "a@b.c");
  EXPECT_FALSE(submit->isEnabled());  // a title of spaces only
  Child<QLineEdit>(view, "txtTitle")->setText(" T ");
  EXPECT_TRUE(submit->isEnabled());

  Child<QRadioButton>(view, "optSupportType_1")->setChecked(true);
  EXPECT_TRUE(Child<QWidget>(view, "fraBugInfo")->isHidden() || !Child<QWidget>(view, "fraBugInfo")->isVisibleTo(&view));
  EXPECT_FALSE(submit->isEnabled());  // the suggestion form has no title yet
  Child<QLineEdit>(view, "txtTitleSuggest")->setText("S");
  Child<QPlainTextEdit>(view, "txtNotesSuggest")->setPlainText("N");
  EXPECT_TRUE(submit->isEnabled());
  EXPECT_EQ(Child<QLineEdit>(view, "txtTitle")->maxLength(), 100);
  EXPECT_EQ(Child<QLineEdit>(view, "txtEMailSuggest")->maxLength(), 100);
  Child<QPlainTextEdit>(view, "txtNotesSuggest")->setPlainText(QString(1200, 'x'));
  EXPECT_EQ(Child<QPlainTextEdit>(view, "txtNotesSuggest")->toPlainText().size(), 1000);
}

TEST(BugReportView, MenuChoicesSetThePropertiesAndCaptions) {
  FakeHost host;
  frmBugReport view(host);
  auto* severity = Child<QToolButton>(view, "btnSeverity");
  auto* type = Child<QToolButton>(view, "btnSuggestType");
  EXPECT_EQ(severity->text(), "Severity: 1 (Minor)");
  EXPECT_EQ(Child<QToolButton>(view, "btnCriticality")->text(), "Criticality: 1 (Annoying)");
  EXPECT_EQ(type->text(), "Type: Add to Existing Feature");
  severity->menu()->actions().at(6)->trigger();
  EXPECT_EQ(view.Severity(), 7);
  EXPECT_EQ(severity->text(), "Severity: 7 (Major)");
  type->menu()->actions().at(3)->trigger();
  EXPECT_EQ(view.SuggestionType(), 5);
  EXPECT_EQ(type->text(), "Type: Other");
}

TEST(BugReportView, ASuccessfulSupportRequestPostsTheFormAndResetsTheView) {
  FakeHost host;
  FormServer server("SUCCESS");
  frmBugReport view(host);
  view.SetServerBase(server.Base());
  FillSupport(view);
  Child<QToolButton>(view, "btnSeverity")->menu()->actions().at(9)->trigger();
  Child<QToolButton>(view, "btnCriticality")->menu()->actions().at(3)->trigger();
  Child<QPushButton>(view, "btnOk")->click();
  EXPECT_FALSE(Child<QPushButton>(view, "btnOk")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  ASSERT_TRUE(WaitFor(view, 10000));

  QByteArray head = server.request.left(server.request.indexOf("\r\n\r\n"));
  EXPECT_TRUE(head.startsWith("POST /client_app_submit_bug_report.php HTTP/1.1\r\n")) << head.toStdString();
  EXPECT_TRUE(head.contains("Content-Type: application/x-www-form-urlencoded\r\n"));
  EXPECT_TRUE(head.contains("User-Agent: Velkor\r\n"));
  QByteArray body = Body(server.request);
  QByteArray bugId = body.mid(body.indexOf("BugID=") + 6, 3 + 36 + 3);  // braces percent-encoded
  EXPECT_TRUE(bugId.startsWith("%7B")) << body.toStdString();
  body.replace(bugId, "GUID");
  EXPECT_TRUE(bugId.endsWith("%7D")) << body.toStdString();
  EXPECT_EQ(body.toStdString(),
            "AppID=VELKOR_CRYPTO&BuildNo=1&InstallID=%7B11111111-2222-4333-8444-555555555555%7D&BugID=GUID"
            "&Title=Title%20with%20quotes&Notes=Its%20broken%20%2B%20more&EMail=user%40example.org"
            "&Severity=10&Criticality=4&Status=NEW");

  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Thank You");
  EXPECT_EQ(host.messages[0].text,
            "Your request was successfully submitted.  Somebody should be getting back to you within 8 hours");
  EXPECT_EQ(host.statuses, (QStringList{"Submitting Request...", "Idle"}));
  for (const char* name : {"txtTitle", "txtEMail", "txtTitleSuggest", "txtEMailSuggest"})
    EXPECT_TRUE(Child<QLineEdit>(view, name)->text().isEmpty()) << name;
  EXPECT_TRUE(Child<QPlainTextEdit>(view, "txtNotes")->toPlainText().isEmpty());
  EXPECT_EQ(Child<QToolButton>(view, "btnSeverity")->text(), "Severity: 1 (Minor)");
  EXPECT_EQ(Child<QToolButton>(view, "btnCriticality")->text(), "Criticality: 1 (Annoying)");
  EXPECT_EQ(view.Severity(), 1);
  EXPECT_EQ(view.Criticality(), 1);
  EXPECT_FALSE(Child<QPushButton>(view, "btnOk")->isEnabled());  // empty boxes are not a request
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(BugReportView, ASuggestionGoesToItsOwnScriptWithItsType) {
  FakeHost host;
  FormServer server("SUCCESS");
  frmBugReport view(host);
  view.SetServerBase(server.Base());
  view.SelectType(ReportType::kSuggestion);
  Child<QLineEdit>(view, "txtTitleSuggest")->setText("Idea");
  Child<QPlainTextEdit>(view, "txtNotesSuggest")->setPlainText("More");
  Child<QLineEdit>(view, "txtEMailSuggest")->setText("x@y.z");
  Child<QToolButton>(view, "btnSuggestType")->menu()->actions().at(3)->trigger();
  Child<QPushButton>(view, "btnOk")->click();
  ASSERT_TRUE(WaitFor(view, 10000));
  EXPECT_TRUE(server.request.startsWith("POST /client_app_submit_suggest_report.php HTTP/1.1\r\n"));
  QByteArray body = Body(server.request);
  EXPECT_TRUE(body.contains("&SuggestID=%7B"));
  EXPECT_TRUE(body.endsWith("&Title=Idea&Notes=More&EMail=x%40y.z&Type=5&Status=NEW")) << body.toStdString();
}

TEST(BugReportView, AnotherAnswerWarnsAndKeepsTheTexts) {
  FakeHost host;
  FormServer server("ERROR: database down");
  frmBugReport view(host);
  view.SetServerBase(server.Base());
  FillSupport(view);
  Child<QPushButton>(view, "btnOk")->click();
  ASSERT_TRUE(WaitFor(view, 10000));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].title, "Warning");
  EXPECT_EQ(host.messages[0].icon, SupportHost::Icon::kQuestion);
  EXPECT_EQ(host.messages[0].text, ResponseWarningText());
  EXPECT_TRUE(host.cursorWasWait);
  EXPECT_EQ(Child<QLineEdit>(view, "txtTitle")->text(), "Title with \"quotes\"");
  EXPECT_TRUE(Child<QPushButton>(view, "btnOk")->isEnabled());
  EXPECT_EQ(host.statuses.last(), "Idle");
}

TEST(BugReportView, ARefusedConnectionShowsTheErrorNumber) {
  FakeHost host;
  quint16 port;
  {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    port = closed.serverPort();
  }
  frmBugReport view(host);
  view.SetServerBase(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
  FillSupport(view);
  Child<QPushButton>(view, "btnOk")->click();
  ASSERT_TRUE(WaitFor(view, 10000));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, TransportWarningText(10061));
  EXPECT_TRUE(Child<QPushButton>(view, "btnOk")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(BugReportView, AServerThatNeverAnswersTimesOutWithoutFreezingTheView) {
  FakeHost host;
  FormServer server("", /*silent=*/true);
  frmBugReport view(host);
  view.SetServerBase(server.Base());
  FillSupport(view);
  view.SetRequestTimeout(1);  // the program waits 30 seconds; the test has less patience
  Child<QPushButton>(view, "btnOk")->click();
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(WaitFor(view, 20000));
  EXPECT_GE(clock.elapsed(), 900);
  EXPECT_FALSE(server.request.isEmpty());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, TransportWarningText(10060));
  EXPECT_EQ(host.statuses.last(), "Idle");
}

TEST(BugReportView, ClosingTheViewDuringAPostPutsTheCursorBack) {
  FakeHost host;
  FormServer server("", /*silent=*/true);
  auto view = std::make_unique<frmBugReport>(host);
  view->SetServerBase(server.Base());
  FillSupport(*view);
  Child<QPushButton>(*view, "btnOk")->click();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  view.reset();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace vk
