#pragma once

#include "form_runtime.h"

#include <QString>

namespace tessivo::forms {

// Whole code points both ways; a lone surrogate in a QString becomes U+FFFD.
inline Text toText(const QString& text) { return text.toStdU32String(); }
inline QString toQString(const Text& text) { return QString::fromStdU32String(text); }

} // namespace tessivo::forms
