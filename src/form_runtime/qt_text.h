#pragma once

#include "form_runtime.h"

#include <QString>

class QLineEdit;

namespace tessivo::forms {

// Whole code points both ways; a lone surrogate in a QString becomes U+FFFD.
inline Text toText(const QString& text) { return text.toStdU32String(); }
inline QString toQString(const Text& text) { return QString::fromStdU32String(text); }

// Overwrites in place the characters `box` holds, so that a secret does not linger in freed
// memory once the box lets go of them; Qt itself only releases them. The box then holds as
// many NULs: set its real content right after.
void OverwriteText(QLineEdit& box);

} // namespace tessivo::forms
