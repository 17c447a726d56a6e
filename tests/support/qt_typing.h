#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace tessivo::testing {

// Types `text` into `widget` one character at a time, as a keyboard would. QTest::keyClicks
// takes Latin-1 only; a key event that carries its text reaches any box with any character.
inline void typeText(QWidget* widget, const QString& text)
{
    for (const char32_t c : text.toStdU32String()) {
        const QString one = QString::fromStdU32String(std::u32string(1, c));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(widget, &release);
    }
}

} // namespace tessivo::testing
