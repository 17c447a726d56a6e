#include "key_box.h"

#include "key_mask.h"

#include <QKeyEvent>
#include <QValidator>

namespace tessivo::main_window {

namespace {

// The last word on what enters the box: pastes, drops and input-method text never pass
// through the key press handler, and a paste that is not a valid key is refused whole.
class KeyValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*position*/) const override
    {
        return KeyMaskAcceptsText(input.toStdU32String()) ? Acceptable : Invalid;
    }
};

bool isEnter(const QKeyEvent& event)
{
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

} // namespace

KeyBox::KeyBox(QWidget* parent)
    : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
    setMaxLength(KeyBoxMaxLength);
    setValidator(new KeyValidator(this));
    setDragEnabled(false);
    setAcceptDrops(true);
}

void KeyBox::keyPressEvent(QKeyEvent* event)
{
    if (isEnter(*event)) {
        char32_t code = 13;
        if (m_onKeyPress) {
            m_onKeyPress(code);
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QList<uint> typed = event->text().toUcs4();
    // Printable text only; editing keys and shortcuts (Backspace, Ctrl+V, ...) carry control
    // characters or none and belong to the box.
    if (typed.size() == 1 && typed.front() >= 32 && typed.front() != 127 && m_onKeyPress) {
        char32_t code = typed.front();
        m_onKeyPress(code);
        if (code == 0) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace tessivo::main_window
