#pragma once

// What a support request or suggestion posts, decided apart from the view:
// the menus, the cleaned fields in their order, the script each type goes to
// and the messages the user sees.

#include <QByteArray>
#include <QList>
#include <QString>

#include <span>

namespace vk {

enum class ReportType { kSupport = 0, kSuggestion = 1 };

struct MenuItem {
  const char* key;
  const char* caption;
};

std::span<const MenuItem> SeverityItems();
std::span<const MenuItem> CriticalityItems();
std::span<const MenuItem> SuggestionItems();

inline constexpr const char* kSeverityPrefix = "SEVERITY_";
inline constexpr const char* kCriticalityPrefix = "CRITICALITY_";
inline constexpr const char* kSuggestionPrefix = "SUGGESTION_";

// The number a menu key carries ("SEVERITY_7" -> 7), or -1.
int ValueOfKey(const QString& key, const char* prefix);
// The caption of the item whose key carries value: "Other" carries 5 while
// it is the fourth of its menu, so items are found by key, not position.
QString CaptionForValue(std::span<const MenuItem> items, const char* prefix, int value);

// Quotes removed, single and double.
QString CleanField(const QString& text);

// Submit is allowed when title, notes and address, trimmed, are all non-empty.
bool ReadyToSubmit(const QString& title, const QString& notes, const QString& email);

struct FormField {
  QString name;
  QString value;
};

struct SupportInput {
  QString title;
  QString notes;
  QString email;
  int severity = 1;
  int criticality = 1;
  int suggestionType = 1;
};

// The posted fields of a report type, in the order the server's scripts read them.
QList<FormField> BuildFields(ReportType type, const SupportInput& input, const QString& buildNo,
                             const QString& installId, const QString& requestId);
// The script path on the maker's server for a report type.
QString ScriptPath(ReportType type);
// application/x-www-form-urlencoded, every value percent-encoded (a "+"
// left as it is would reach the server as a space).
QByteArray EncodeForm(const QList<FormField>& fields);

inline constexpr const char* kSupportServerBase = "https://www.velkor.example";
inline constexpr const char* kSupportEMail = "support@velkor.example";

QString ResponseWarningText();
QString TransportWarningText(int errorNumber);
QString ThankYouText();

}  // namespace vk
