#pragma once

// The program password: what is stored for it, how a typed one is checked,
// and which new ones are refused.

#include <functional>

#include <QString>

namespace vk {

// How a password becomes its stored form and how a typed one is checked
// against that form. The program uses EnginePasswordCheck().
struct PasswordCheck {
  std::function<QString(const QString& typed)> makeStored;
  std::function<bool(const QString& stored, const QString& typed)> matches;
};

// A salted verifier from the engine's slow derivation; an empty password is
// stored as empty text, which means "none set".
PasswordCheck EnginePasswordCheck();

// "Enter" of the login: a text that is more than spaces.
bool LoginEnterEnabled(const QString& typed);
// "Save" of the set-password dialog: the two entries agree once trimmed of
// spaces (two empty boxes agree).
bool SetPasswordSaveEnabled(const QString& first, const QString& second);
// Why a new password cannot be saved as typed, or empty text when it can.
QString NewPasswordRefusal(const QString& typed);

// Trimming of the dialogs: spaces only, as the stored values were always
// compared.
QString TrimSpaces(const QString& text);

}  // namespace vk
