#include "support/FormPoster.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace vk {

namespace {

int SocketErrorNumber(QNetworkReply::NetworkError error) {
  switch (error) {
    case QNetworkReply::ConnectionRefusedError: return 10061;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: return 10060;
    case QNetworkReply::HostNotFoundError: return 11001;
    case QNetworkReply::RemoteHostClosedError: return 10054;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError: return 10050;
    default: return static_cast<int>(error);
  }
}

}  // namespace

FormPoster::FormPoster(QObject* parent) : QObject(parent) {}

void FormPoster::Post(const QUrl& url, const QList<FormField>& fields) {
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
  if (!userAgent_.isEmpty()) request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
  request.setTransferTimeout(timeoutSeconds_ * 1000);
  reply_ = network_.post(request, EncodeForm(fields));
  connect(reply_, &QNetworkReply::finished, this, &FormPoster::OnFinished);
}

void FormPoster::OnFinished() {
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  if (!reply) return;
  reply->deleteLater();
  PostResult result;
  // An HTTP error status still brings a body the server meant for us; only
  // a post that never got a status line counts as unanswered.
  if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
    result.answered = true;
    QByteArray body = reply->readAll();
    if (maxTransferredData_ > 0) body.truncate(maxTransferredData_);
    result.body = QString::fromUtf8(body);
  } else {
    result.errorNumber = SocketErrorNumber(reply->error());
  }
  emit Finished(result);
}

}  // namespace vk
