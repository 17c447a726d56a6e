#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The clipboard as both programs use it, without a window of their own. Free of Qt on purpose:
// the rules that take a password back run the same against an in-memory stand-in.
namespace tessivo::clipboard {

// Text as the user sees it: one element per Unicode code point.
using Text = std::u32string;

// X11 and Wayland have a second clipboard, the primary selection, filled by merely selecting.
enum class Board { Clipboard, Selection };
inline constexpr std::array<Board, 2> Boards{Board::Clipboard, Board::Selection};
constexpr std::size_t IndexOf(Board board) { return board == Board::Selection ? 1 : 0; }

// How X11 and Wayland clients mark a text that clipboard histories should skip: a format of
// this name, holding this value, beside the text.
inline constexpr std::string_view SecretMarkFormat = "x-kde-passwordManagerHint";
inline constexpr std::string_view SecretMarkValue = "secret";

// A board's text, and whether it carries the secret mark.
struct ClipboardText {
    Text text;
    bool secret = false;
};

// What a program does with the clipboard and the selection: the window logic reaches it beside
// its form runtime, the command line's clipboard holder alone.
class Clipboard {
public:
    Clipboard() = default;
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;
    Clipboard(Clipboard&&) = delete;
    Clipboard& operator=(Clipboard&&) = delete;
    virtual ~Clipboard() = default;

    // Empties the board of all formats.
    virtual void clear(Board board) = 0;
    // Puts the password `text` on the clipboard as plain text, marked as a secret. Whatever the
    // clipboard held, in any format, is gone at once, without a moment of an empty clipboard.
    virtual void setText(const Text& text) = 0;
    // True while the board holds exactly `text`, whoever put it there (a clipboard manager may
    // have taken it over), or a part of it put there by this program.
    [[nodiscard]] virtual bool holds(const Text& text, Board board) const = 0;
    // The board's text now, whoever put it there; empty when none.
    [[nodiscard]] virtual ClipboardText text(Board board) const = 0;
    // Puts `content` on the board, marked as a secret only if it was.
    virtual void putBack(const ClipboardText& content, Board board) = 0;
    // Lets other programs answer at once what this program has just emptied, as a Wayland
    // compositor's own clipboard does; true when one took it over or refilled it. Waits only
    // where a window is needed to change the clipboard again, and then only briefly.
    virtual bool answeredAtOnce() = 0;
    // Lets other programs, clipboard managers above all, answer what this program has just
    // emptied or put back, for a second at most: over early once each emptied board has been
    // taken over and each one put back taken over or read.
    virtual void wait() = 0;
};

} // namespace tessivo::clipboard
