#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QTest>

#include <string>

// Small helpers the QtTest programs share.
namespace tessivo::testing {

// A form's text as QtTest prints it in a failed comparison.
inline QString show(const std::u32string& text) { return QString::fromStdU32String(text); }

// Lets the windows closed so far go, as the event loop would: Qt deletes them later.
inline void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

} // namespace tessivo::testing

// A control of the test's `window()` by its object name; the test fails if there is none.
#define FIND(Type, variable, name)                                                                 \
    auto* variable = window().findChild<Type*>(QStringLiteral(name));                              \
    QVERIFY2(variable != nullptr,                                                                  \
             qPrintable(window().objectName() + QStringLiteral(" has no " #Type " named " name)))
