#include "password_box.h"

#include "qt_clipboard.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFrame>

namespace tessivo::main_window {

namespace {

// QLineEdit keeps this much room between its contents rectangle and the text on either side,
// and scrolls as soon as the text's width plus one pixel exceeds what is left.
constexpr int LineEditTextMargin = 2;

constexpr qreal PointStep = 0.25;
constexpr qreal SmallestPoints = 1.0;

} // namespace

PasswordBox::PasswordBox(clipboard::QtClipboard& clipboard, QWidget* parent)
    : QLineEdit(parent)
    , m_clipboard(clipboard)
    , m_definedFont(font())
{
    connect(this, &QLineEdit::textChanged, this, &PasswordBox::fitText);
    // QLineEdit fills the X11 selection itself as the user selects (mouse and keyboard alike),
    // with plain text and through no function that can be replaced: such a copy is marked
    // the moment it lands, before the event that made it is over.
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &PasswordBox::markOwnCopy);
}

void PasswordBox::setDefinedFont(const QFont& font)
{
    m_definedFont = font;
    fitText();
}

bool PasswordBox::event(QEvent* event)
{
    const QScopedValueRollback<bool> handling(m_handlingUser, true);
    return QLineEdit::event(event);
}

void PasswordBox::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::StyleChange) {
        fitText(); // another style may leave another width for the text
    }
}

void PasswordBox::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's Copy and Cut run after the box's event is over: they go the marked way. Qt
    // wires them to its slots by name in some versions and by pointer in others.
    for (QAction* action : menu->actions()) {
        if (disconnect(action, &QAction::triggered, this, &QLineEdit::copy) ||
            disconnect(action, SIGNAL(triggered()), this, SLOT(copy()))) {
            connect(action, &QAction::triggered, this, &PasswordBox::copySecret);
        } else if (disconnect(action, &QAction::triggered, this, &QLineEdit::cut) ||
                   disconnect(action, SIGNAL(triggered()), this, SLOT(cut()))) {
            connect(action, &QAction::triggered, this, &PasswordBox::cutSecret);
        }
    }
    menu->popup(event->globalPos());
}

void PasswordBox::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySecret();
        event->accept();
    } else if (event->matches(QKeySequence::Cut)) {
        cutSecret();
        event->accept();
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

void PasswordBox::copySecret()
{
    if (!hasSelectedText()) {
        return;
    }
    const QScopedValueRollback<bool> marked(m_handlingUser, false);
    m_clipboard.copySecret(selectedText());
}

void PasswordBox::cutSecret()
{
    if (hasSelectedText() && !isReadOnly()) {
        copySecret();
        del();
    }
}

void PasswordBox::markOwnCopy(QClipboard::Mode mode)
{
    if (!m_handlingUser) {
        return;
    }
    // Only a piece of this box's own text: anything else is not the box's doing.
    const QScopedValueRollback<bool> marking(m_handlingUser, false);
    m_clipboard.remarkPartOf(text(), mode);
}

void PasswordBox::fitText()
{
    QFont font = m_definedFont;
    qreal points = m_definedFont.pointSizeF();
    while (!fits(font) && points - PointStep >= SmallestPoints) {
        points -= PointStep;
        font.setPointSizeF(points);
    }
    if (font != this->font()) {
        setFont(font);
    }
}

bool PasswordBox::fits(const QFont& font) const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                               .marginsRemoved(textMargins());
    const int room = contents.width() - 2 * LineEditTextMargin;
    return qRound(QFontMetricsF(font, this).horizontalAdvance(text())) + 1 <= room;
}

} // namespace tessivo::main_window
