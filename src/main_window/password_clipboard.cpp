#include "password_clipboard.h"

#include "secret.h"

#include <cstddef>
#include <utility>

namespace tessivo::main_window {

namespace {

constexpr forms::ClipboardMode Modes[] = {forms::ClipboardMode::Clipboard,
                                          forms::ClipboardMode::Selection};

constexpr std::size_t index(forms::ClipboardMode mode)
{
    return mode == forms::ClipboardMode::Selection ? 1 : 0;
}

} // namespace

const forms::ClipboardText PasswordClipboard::PasswordRemoved{U"(password removed)", false};

PasswordClipboard::PasswordClipboard(forms::Clipboard& clipboard, Reach reach)
    : m_clipboard(clipboard)
    , m_reach(reach)
{
}

PasswordClipboard::~PasswordClipboard() { derivation::Wipe(m_before.text); }

bool PasswordClipboard::reaches(forms::ClipboardMode mode) const
{
    return mode == forms::ClipboardMode::Clipboard || m_reach == Reach::ClipboardAndSelection;
}

bool PasswordClipboard::holds(const forms::Text& password, forms::ClipboardMode mode) const
{
    return !password.empty() && reaches(mode) && m_clipboard.clipboardHolds(password, mode);
}

void PasswordClipboard::rememberBefore(const forms::Text& current)
{
    if (holds(current, forms::ClipboardMode::Clipboard)) {
        return;
    }
    adoptBefore(m_clipboard.clipboardText(forms::ClipboardMode::Clipboard));
}

void PasswordClipboard::adoptBefore(forms::ClipboardText before)
{
    derivation::Wipe(m_before.text);
    m_before = std::move(before);
}

// With no manager an emptied clipboard stays empty; a manager refills it with its newest entry,
// the password, unless what was there before goes back instead.
bool PasswordClipboard::takeBack(const forms::Text& password)
{
    bool changed = false;
    for (const auto mode : Modes) {
        if (!holds(password, mode)) {
            continue;
        }
        const bool putBack = mode == forms::ClipboardMode::Clipboard && !m_before.text.empty() &&
                             m_before.text != password;
        if (putBack) {
            m_clipboard.clipboardPutBack(m_before, mode);
        } else {
            m_clipboard.clipboardClear(mode);
        }
        m_putBack.at(index(mode)) = putBack;
        changed = true;
    }
    derivation::Wipe(m_before.text);
    m_before.secret = false;
    return changed;
}

// What went back may itself be a part of the password, and is then this program's own part of
// it: only the whole password counts as brought back there, since no manager refills with less.
bool PasswordClipboard::broughtBack(const forms::Text& password, forms::ClipboardMode mode) const
{
    if (!m_putBack.at(index(mode))) {
        return holds(password, mode);
    }
    forms::ClipboardText now = m_clipboard.clipboardText(mode);
    const bool whole = now.text == password;
    derivation::Wipe(now.text);
    return whole;
}

void PasswordClipboard::answerAtOnce(const forms::Text& password)
{
    if (!m_clipboard.clipboardAnsweredAtOnce()) {
        return;
    }
    for (const auto mode : Modes) {
        if (broughtBack(password, mode)) {
            m_clipboard.clipboardPutBack(PasswordRemoved, mode);
            m_putBack.at(index(mode)) = false;
        }
    }
}

void PasswordClipboard::settle(const forms::Text& password)
{
    m_clipboard.clipboardWait();
    bool refilled = false;
    for (const auto mode : Modes) {
        if (broughtBack(password, mode)) {
            m_clipboard.clipboardPutBack(PasswordRemoved, mode);
            refilled = true;
        }
    }
    m_putBack.fill(false);
    if (refilled) {
        m_clipboard.clipboardWait();
    }
}

} // namespace tessivo::main_window
