#include "qt_accessibility.h"

#include <QAccessible>
#include <QLineEdit>

namespace tessivo::forms {

namespace {

// Qt tells assistive technology how a box's text changed with the characters themselves, even
// in a masked box, and the accessibility bus hands them to any program that listens. A masked
// box's changes go out with one "*" per character instead: a screen reader still hears that a
// character came or went, never which.
void maskTextChanges(QAccessibleEvent* event);

// Whoever handled the events before: Qt's own way to the platform when nobody did.
QAccessible::UpdateHandler& nextAccessibilityHandler()
{
    static QAccessible::UpdateHandler next = nullptr;
    return next;
}

bool isMasked(const QObject* object)
{
    const auto* box = qobject_cast<const QLineEdit*>(object);
    return box != nullptr && box->echoMode() != QLineEdit::Normal;
}

QString stars(const QString& text) { return {text.size(), u'*'}; }

// Qt reaches the platform's accessibility bridge only while no handler is installed.
void forwardAccessibilityEvent(QAccessibleEvent* event)
{
    QAccessible::installUpdateHandler(nextAccessibilityHandler());
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(&maskTextChanges);
}

template <typename TextEvent, typename... Texts>
void forwardMasked(const TextEvent& event, const Texts&... texts)
{
    TextEvent masked(event.object(), event.changePosition(), stars(texts)...);
    masked.setCursorPosition(event.cursorPosition());
    forwardAccessibilityEvent(&masked);
}

void maskTextChanges(QAccessibleEvent* event)
{
    if (const auto* inserted = dynamic_cast<const QAccessibleTextInsertEvent*>(event);
        inserted != nullptr && isMasked(event->object())) {
        forwardMasked(*inserted, inserted->textInserted());
    } else if (const auto* removed = dynamic_cast<const QAccessibleTextRemoveEvent*>(event);
               removed != nullptr && isMasked(event->object())) {
        forwardMasked(*removed, removed->textRemoved());
    } else if (const auto* updated = dynamic_cast<const QAccessibleTextUpdateEvent*>(event);
               updated != nullptr && isMasked(event->object())) {
        forwardMasked(*updated, updated->textRemoved(), updated->textInserted());
    } else {
        forwardAccessibilityEvent(event);
    }
}

} // namespace

void MaskAccessibleTextChanges()
{
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(&maskTextChanges);
    if (previous != &maskTextChanges) {
        nextAccessibilityHandler() = previous;
    }
}

} // namespace tessivo::forms
