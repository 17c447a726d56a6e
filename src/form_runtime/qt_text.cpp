#include "qt_text.h"

#include <QLineEdit>

namespace tessivo::forms {

void OverwriteText(QLineEdit& box)
{
    // text() shares the very buffer the box holds (no input mask is ever set), so writing
    // through it reaches the box's own copy. Static text (a literal) is not ours to write.
    const QString held = box.text();
    if (held.isEmpty() || !held.data_ptr().isMutable()) {
        return;
    }
    // Through a volatile pointer, or the optimiser may drop a write nobody seems to read.
    auto* chars = reinterpret_cast<volatile char16_t*>(const_cast<QChar*>(held.constData()));
    for (qsizetype i = 0; i < held.size(); ++i) {
        chars[i] = u'\0';
    }
}

} // namespace tessivo::forms
