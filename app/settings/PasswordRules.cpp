#include "settings/ProgramPassword.h"

namespace vk {

QString TrimSpaces(const QString& text) {
  qsizetype start = 0, end = text.size();
  while (start < end && text[start] == QLatin1Char(' ')) ++start;
  while (end > start && text[end - 1] == QLatin1Char(' ')) --end;
  return text.mid(start, end - start);
}

bool LoginEnterEnabled(const QString& typed) { return !TrimSpaces(typed).isEmpty(); }

bool SetPasswordSaveEnabled(const QString& first, const QString& second) {
  return TrimSpaces(first) == TrimSpaces(second);
}

QString NewPasswordRefusal(const QString& typed) {
  if (typed.contains(QLatin1Char('|')))
    return QStringLiteral("The program password cannot contain the character \"|\".  Please choose another password.");
  if (!typed.isEmpty() && TrimSpaces(typed).isEmpty())
    return QStringLiteral("The program password cannot consist of spaces only.  Please choose another password.");
  return {};
}

}  // namespace vk
