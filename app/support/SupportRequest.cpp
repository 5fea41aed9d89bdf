#include "support/SupportRequest.h"

#include <QUrl>

namespace vk {

namespace {

constexpr MenuItem kSeverity[] = {
    {"SEVERITY_1", "1 (Minor)"}, {"SEVERITY_2", "2"}, {"SEVERITY_3", "3"}, {"SEVERITY_4", "4 (Moderate)"},
    {"SEVERITY_5", "5"},         {"SEVERITY_6", "6"}, {"SEVERITY_7", "7 (Major)"}, {"SEVERITY_8", "8"},
    {"SEVERITY_9", "9"},         {"SEVERITY_10", "10 (Critical)"},
};

constexpr MenuItem kCriticality[] = {
    {"CRITICALITY_1", "1 (Annoying)"}, {"CRITICALITY_2", "2"}, {"CRITICALITY_3", "3"},
    {"CRITICALITY_4", "4 (No Big Deal)"}, {"CRITICALITY_5", "5"}, {"CRITICALITY_6", "6"},
    {"CRITICALITY_7", "7 (Big Problem)"}, {"CRITICALITY_8", "8"}, {"CRITICALITY_9", "9"},
    {"CRITICALITY_10", "10 (Cannot Use)"},
};

constexpr MenuItem kSuggestion[] = {
    {"SUGGESTION_1", "Add to Existing Feature"},
    {"SUGGESTION_2", "Add New Feature"},
    {"SUGGESTION_3", "User Interface"},
    {"SUGGESTION_5", "Other"},
};

const QString kWarningStart =
    QStringLiteral("An Error was encountered while attempting to submit the request.  If this problem persists, "
                   "please contact ");

}  // namespace

std::span<const MenuItem> SeverityItems() { return kSeverity; }
std::span<const MenuItem> CriticalityItems() { return kCriticality; }
std::span<const MenuItem> SuggestionItems() { return kSuggestion; }

int ValueOfKey(const QString& key, const char* prefix) {
  QString p = QString::fromLatin1(prefix);
  if (!key.startsWith(p)) return -1;
  bool ok = false;
  int value = key.mid(p.size()).toInt(&ok);
  return ok && value >= 0 && value <= 255 ? value : -1;
}

QString CaptionForValue(std::span<const MenuItem> items, const char* prefix, int value) {
  for (const MenuItem& item : items) {
    if (ValueOfKey(QString::fromLatin1(item.key), prefix) == value) return QString::fromLatin1(item.caption);
  }
  return {};
}

QString CleanField(const QString& text) {
  QString cleaned = text;
  cleaned.remove(QLatin1Char('\'')).remove(QLatin1Char('"'));
  return cleaned;
}

bool ReadyToSubmit(const QString& title, const QString& notes, const QString& email) {
  auto filled = [](const QString& s) {
    for (QChar c : s) {
      if (c != QLatin1Char(' ')) return true;
    }
    return false;
  };
  return filled(title) && filled(notes) && filled(email);
}

QList<FormField> BuildFields(ReportType type, const SupportInput& input, const QString& buildNo,
                             const QString& installId, const QString& requestId) {
  bool support = type == ReportType::kSupport;
  QList<FormField> fields{
      {"AppID", "VELKOR_CRYPTO"},
      {"BuildNo", buildNo},
      {"InstallID", installId},
      {support ? "BugID" : "SuggestID", requestId},
      {"Title", CleanField(input.title)},
      {"Notes", CleanField(input.notes)},
      {"EMail", CleanField(input.email)},
  };
  if (support) {
    fields.append(FormField{"Severity", QString::number(input.severity)});
    fields.append(FormField{"Criticality", QString::number(input.criticality)});
  } else {
    fields.append(FormField{"Type", QString::number(input.suggestionType)});
  }
  fields.append(FormField{"Status", "NEW"});
  return fields;
}

QString ScriptPath(ReportType type) {
  return type == ReportType::kSupport ? QStringLiteral("/client_app_submit_bug_report.php")
                                      : QStringLiteral("/client_app_submit_suggest_report.php");
}

QByteArray EncodeForm(const QList<FormField>& fields) {
  QByteArray body;
  for (const FormField& field : fields) {
    if (!body.isEmpty()) body += '&';
    body += QUrl::toPercentEncoding(field.name);
    body += '=';
    body += QUrl::toPercentEncoding(field.value);
  }
  return body;
}

QString ResponseWarningText() { return kWarningStart + QString::fromLatin1(kSupportEMail) + QStringLiteral("."); }

QString TransportWarningText(int errorNumber) {
  return kWarningStart + QString::fromLatin1(kSupportEMail) +
         QStringLiteral(" and give them the following code: ") + QString::number(errorNumber);
}

QString ThankYouText() {
  return QStringLiteral("Your request was successfully submitted.  Somebody should be getting back to you within 8 hours");
}

}  // namespace vk
