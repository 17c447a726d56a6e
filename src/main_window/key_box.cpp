#include "key_box.h"

#include "qt_text.h"
#include "typed_input.h"

#include <QKeyEvent>
#include <QValidator>

#include <algorithm>

namespace tessivo::main_window {

namespace {

// The last word on what enters the box: pastes, drops and input-method text never pass
// through the key press handler, and a paste that is not a valid key is refused whole.
class KeyValidator final : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& /*position*/) const override
    {
        // Character by character, without a converted copy of the key left behind in freed
        // memory; half of a surrogate pair is never an accepted character.
        const bool accepted = input.size() <= derivation::MaxKeyLength &&
                              std::all_of(input.cbegin(), input.cend(), [](QChar c) {
                                  return derivation::IsKeyCharacter(char32_t(c.unicode()));
                              });
        return accepted ? Acceptable : Invalid;
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
    setMaxLength(derivation::MaxKeyLength); // only as many characters as the key sum reads
    setValidator(new KeyValidator(this));
    setDragEnabled(false);
    setAcceptDrops(true);
}

KeyBox::~KeyBox() { forms::OverwriteText(*this); }

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
