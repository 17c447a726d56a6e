#pragma once

#include "clipboard.h"

#include <array>

namespace tessivo::clipboard {

// The rules by which a password put on the clipboard is taken back: the window's END and close
// box follow them, and so does the command line's clipboard holder when its time is up. Only the
// password, or a part of it, goes; what the user has copied since stays. What the clipboard held
// before the first password goes back, so that a clipboard manager refilling an emptied
// clipboard refills that, not the password; with nothing before, such a manager gets a notice.
class PasswordClipboard {
public:
    // Which of X11's two clipboards the password may be on: the window's password box also
    // fills the selection; the holder only ever fills the clipboard and leaves the selection be.
    enum class Reach { ClipboardAndSelection, ClipboardOnly };

    PasswordClipboard(Clipboard& clipboard, Reach reach);
    PasswordClipboard(const PasswordClipboard&) = delete;
    PasswordClipboard& operator=(const PasswordClipboard&) = delete;
    PasswordClipboard(PasswordClipboard&&) = delete;
    PasswordClipboard& operator=(PasswordClipboard&&) = delete;
    // What was remembered is wiped.
    ~PasswordClipboard();

    // Call before a new password goes on: remembers what the clipboard holds now as what goes
    // back, unless it still holds `current`, the password put there before (then what was
    // there before that one stays remembered). `current` may be empty.
    void rememberBefore(const Text& current);
    // What goes back, for a new holder that replaces this one; and taking that over.
    [[nodiscard]] const ClipboardText& before() const { return m_before; }
    void adoptBefore(ClipboardText before);

    // The first step: takes `password` off wherever it still is, putting back what was there
    // before or emptying it; forgets what was remembered. True when something changed, and
    // `settle` must follow (the window hides itself in between, so that it goes at once).
    bool takeBack(const Text& password);
    // Between the two, while a window is still there where the clipboard can be changed only
    // with one (natively on Wayland): a refill that comes at once (Weston's own clipboard)
    // gets the notice now, as it could not once the window is gone.
    void answerAtOnce(const Text& password);
    // The second step: lets clipboard managers answer; one that brought `password` back gets the
    // notice instead, and is given time to take that too.
    void settle(const Text& password);

    // A clipboard manager's newest entry when the clipboard held nothing before.
    static const ClipboardText PasswordRemoved;

private:
    [[nodiscard]] bool holds(const Text& password, Board board) const;
    [[nodiscard]] bool reaches(Board board) const;
    // Whether `password` is back on the clipboard (or the selection) after `takeBack`.
    [[nodiscard]] bool broughtBack(const Text& password, Board board) const;

    Clipboard& m_clipboard;
    Reach m_reach;
    // The clipboard as it was before the first password went on it: the user's own.
    ClipboardText m_before;
    // Where `takeBack` put that back (clipboard, selection), until `settle` has looked.
    std::array<bool, 2> m_putBack{false, false};
};

} // namespace tessivo::clipboard
