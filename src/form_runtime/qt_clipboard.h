#pragma once

#include "form_runtime.h"

#include <QClipboard>

#include <array>
#include <memory>

class QMimeData;
class QString;

namespace tessivo::forms {

// `text` as clipboard data marked secret, so that clipboard histories and sync services that
// honour the mark keep it out. Every copy of a password goes through here.
std::unique_ptr<QMimeData> secretText(const QString& text);

// The system clipboard and the X11 selection as the window logic sees them: the clipboard
// half of `FormRuntime`, each operation documented there. It needs a running Qt application
// but no window, so a process without one can hold and clear a password just the same. In a
// Wayland session whose compositor offers data-control it also reads and changes what Wayland
// clients paste (`WaylandClipboard`), whatever platform Qt runs on.
class QtClipboard {
public:
    QtClipboard() = default;
    Q_DISABLE_COPY_MOVE(QtClipboard)
    ~QtClipboard() = default;

    void clear(ClipboardMode mode);
    void setText(const Text& text);
    [[nodiscard]] bool holds(const Text& text, ClipboardMode mode) const;
    [[nodiscard]] ClipboardText text(ClipboardMode mode) const;
    void putBack(const ClipboardText& content, ClipboardMode mode);
    [[nodiscard]] bool answeredAtOnce();
    void wait();

    // Puts `text` on the clipboard marked secret: a copy the user makes of a shown password.
    static void copySecret(const QString& text);
    // Marks the clipboard's (or the selection's) text secret if it is a non-empty part of
    // `shown`: a copy Qt made by itself, unmarked, of a shown password (X11 fills the selection
    // as the user selects). Anything else is left as it is.
    static void remarkPartOf(const QString& shown, QClipboard::Mode mode);

private:
    // Qt's own clipboard; `held` is what it holds.
    static bool qtHolds(const QString& password, ClipboardMode mode, QString& held);
    // Whether the last look found the password on the Wayland side of this board.
    [[nodiscard]] bool waylandHeld(ClipboardMode mode) const;

    // What this program last did to the clipboard and the selection that others may answer,
    // by refilling or taking over what was emptied, or by reading what was filled.
    enum class Touch { None, Emptied, Filled };
    std::array<Touch, 2> m_touched{Touch::None, Touch::None};
    mutable std::array<bool, 2> m_waylandHeld{false, false};
};

} // namespace tessivo::forms
