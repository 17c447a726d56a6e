#pragma once

#include "clipboard.h"

#include <QClipboard>

#include <array>
#include <functional>
#include <memory>

class QString;

namespace tessivo::clipboard {

class WaylandClipboard;

// What the program needs of its platform: windows, or a clipboard without one.
enum class PlatformUse { Windows, WindowlessClipboard };

// Runs Tessivo on X11 (XWayland under a Wayland compositor) whenever an X server is there and
// the user has not picked a platform, except the windows under Weston, which run natively
// there (see qt_clipboard.cpp). Only X11 lets a program without a window own the clipboard.
// Call before the application exists.
void ChoosePlatform(PlatformUse use = PlatformUse::Windows);

// Whether this is a Wayland session whose clipboard a program without a window cannot change:
// its compositor offers no data-control, and what passes from the X11 clipboard to Wayland
// clients may stay there (Weston keeps its own copy) whatever the X side does afterwards.
bool WaylandClipboardOutOfReach();

// The process's clipboard: the system clipboard and the X11 selection, each operation as
// `Clipboard` documents it. It needs a running Qt application but no window, so a process
// without one holds and clears a password just the same. In a Wayland session whose compositor
// offers data-control it also reads and changes what Wayland clients paste (`WaylandClipboard`),
// whatever platform Qt runs on; that connection and the thread serving it are this object's and
// end with it. One per process, made after the application object and gone before it.
class QtClipboard final : public Clipboard {
public:
    // Who puts passwords on. A window has the keyboard when it does, and through XWayland the
    // compositor passes the X11 clipboard on to Wayland clients while an X window has it; a
    // program without windows serves them itself, where data-control lets it.
    enum class User { Window, Windowless };

    explicit QtClipboard(User user = User::Window);
    Q_DISABLE_COPY_MOVE(QtClipboard)
    // What the Wayland side serves goes, as on X11 at exit.
    ~QtClipboard() override;

    void clear(Board board) override;
    void setText(const Text& text) override;
    [[nodiscard]] bool holds(const Text& text, Board board) const override;
    [[nodiscard]] ClipboardText text(Board board) const override;
    void putBack(const ClipboardText& content, Board board) override;
    bool answeredAtOnce() override;
    void wait() override;

    // Puts `text` on the clipboard marked secret: a copy the user makes of a shown password.
    void copySecret(const QString& text);
    // Marks the clipboard's (or the selection's) text secret if it is a non-empty part of
    // `shown`: a copy Qt made by itself, unmarked, of a shown password (X11 fills the selection
    // as the user selects). Anything else is left as it is.
    void remarkPartOf(const QString& shown, QClipboard::Mode mode);

    // Whether what clients paste from the board is what this program serves, on X11 or on the
    // Wayland side.
    [[nodiscard]] bool servesOwn(Board board) const;
    // Runs `ended` once another program takes the clipboard: a Wayland client changes it, or
    // this program serves it on neither side (now, if it does not). Later calls replace the
    // earlier `ended`.
    void whenServingEnds(std::function<void()> ended);

private:
    struct WaylandSide;

    // The Wayland side, connected on first use; its clipboard is null where there is none.
    WaylandSide& wayland() const;
    // Whether this program serves the board only on the Wayland side (see qt_clipboard.cpp).
    [[nodiscard]] bool servedOnWaylandAlone(Board board) const;
    // Its clipboard where it has this board, or null.
    [[nodiscard]] WaylandClipboard* waylandBoard(Board board) const;

    // What this program last did to each board that others may answer, by refilling or
    // taking over what was emptied, or by reading what was filled.
    enum class Touch { None, Emptied, Filled };
    std::array<Touch, 2> m_touched{Touch::None, Touch::None};
    // Whether the last look found the password on the Wayland side of each board.
    mutable std::array<bool, 2> m_waylandHeld{false, false};
    User m_user;
    mutable std::unique_ptr<WaylandSide> m_wayland;
};

} // namespace tessivo::clipboard
