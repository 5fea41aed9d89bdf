#pragma once

// Posts name/value pairs as a web form and hands back the response body,
// without blocking the user-interface thread.

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "support/SupportRequest.h"

class QNetworkReply;

namespace vk {

struct PostResult {
  // False when no response arrived: refused, unreachable, timed out.
  bool answered = false;
  QString body;
  // For a post that got no response: a socket error number as the rest of
  // the program reports them (10061 refused, 10060 timed out, 11001 host not
  // found, 10054 reset), or Qt's own error number for anything else.
  int errorNumber = 0;
};

class FormPoster : public QObject {
  Q_OBJECT

 public:
  explicit FormPoster(QObject* parent = nullptr);

  void SetUserAgent(const QString& agent) { userAgent_ = agent; }
  // Seconds without progress before the post is given up; 0 waits for ever.
  void SetTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds; }
  // Upper bound of the response body in bytes; 0 takes it whole.
  void SetMaxTransferredData(qint64 bytes) { maxTransferredData_ = bytes; }

  void Post(const QUrl& url, const QList<FormField>& fields);
  bool Busy() const { return !reply_.isNull(); }

 signals:
  void Finished(const vk::PostResult& result);

 private:
  void OnFinished();

  QNetworkAccessManager network_;
  QPointer<QNetworkReply> reply_;
  QString userAgent_;
  int timeoutSeconds_ = 30;
  qint64 maxTransferredData_ = 0;
};

}  // namespace vk
