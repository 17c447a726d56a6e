#include "password_clipboard.h"

#include "secret.h"

#include <utility>

namespace tessivo::clipboard {

const ClipboardText PasswordClipboard::PasswordRemoved{U"(password removed)", false};

PasswordClipboard::PasswordClipboard(Clipboard& clipboard, Reach reach)
    : m_clipboard(clipboard)
    , m_reach(reach)
{
}

PasswordClipboard::~PasswordClipboard() { derivation::Wipe(m_before.text); }

bool PasswordClipboard::reaches(Board board) const
{
    return board == Board::Clipboard || m_reach == Reach::ClipboardAndSelection;
}

bool PasswordClipboard::holds(const Text& password, Board board) const
{
    return !password.empty() && reaches(board) && m_clipboard.holds(password, board);
}

void PasswordClipboard::rememberBefore(const Text& current)
{
    if (holds(current, Board::Clipboard)) {
        return;
    }
    adoptBefore(m_clipboard.text(Board::Clipboard));
}

void PasswordClipboard::adoptBefore(ClipboardText before)
{
    derivation::Wipe(m_before.text);
    m_before = std::move(before);
}

// With no manager an emptied clipboard stays empty; a manager refills it with its newest entry,
// the password, unless what was there before goes back instead.
bool PasswordClipboard::takeBack(const Text& password)
{
    bool changed = false;
    for (const Board board : Boards) {
        if (!holds(password, board)) {
            continue;
        }
        const bool putBack =
            board == Board::Clipboard && !m_before.text.empty() && m_before.text != password;
        if (putBack) {
            m_clipboard.putBack(m_before, board);
        } else {
            m_clipboard.clear(board);
        }
        m_putBack.at(IndexOf(board)) = putBack;
        changed = true;
    }
    derivation::Wipe(m_before.text);
    m_before.secret = false;
    return changed;
}

// What went back may itself be a part of the password, and is then this program's own part of
// it: only the whole password counts as brought back there, since no manager refills with less.
bool PasswordClipboard::broughtBack(const Text& password, Board board) const
{
    if (!m_putBack.at(IndexOf(board))) {
        return holds(password, board);
    }
    ClipboardText now = m_clipboard.text(board);
    const bool whole = now.text == password;
    derivation::Wipe(now.text);
    return whole;
}

void PasswordClipboard::answerAtOnce(const Text& password)
{
    if (!m_clipboard.answeredAtOnce()) {
        return;
    }
    for (const Board board : Boards) {
        if (broughtBack(password, board)) {
            m_clipboard.putBack(PasswordRemoved, board);
            m_putBack.at(IndexOf(board)) = false;
        }
    }
}

void PasswordClipboard::settle(const Text& password)
{
    m_clipboard.wait();
    bool refilled = false;
    for (const Board board : Boards) {
        if (broughtBack(password, board)) {
            m_clipboard.putBack(PasswordRemoved, board);
            refilled = true;
        }
    }
    m_putBack.fill(false);
    if (refilled) {
        m_clipboard.wait();
    }
}

} // namespace tessivo::clipboard
