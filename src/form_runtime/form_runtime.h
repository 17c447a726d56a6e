#pragma once

#include <string>
#include <string_view>

// The operations the window logic needs from the windowing layer, and nothing more, so that
// the logic runs the same against the real Qt windows and against an in-memory stand-in.
// Free of Qt on purpose: the derivation and the generate command stay testable without it.
namespace tessivo::forms {

// Text as the user sees it: one element per Unicode code point, never half a surrogate pair.
using Text = std::u32string;

// A control is reached through the name it carries in its window's definition.
struct TextBox {
    std::string_view name;
};
struct ComboBox {
    std::string_view name;
};
struct MenuItem {
    std::string_view name;
};
struct Form {
    std::string_view name;
};

// X11 has a second clipboard, the primary selection, filled by merely selecting text.
enum class ClipboardMode { Clipboard, Selection };

// A clipboard's text, and whether it carries the mark that asks clipboard histories to skip it.
struct ClipboardText {
    Text text;
    bool secret = false;
};

// What a program does with the clipboard and the selection, without a window of its own: the
// window logic reaches it through its form runtime, the command line's clipboard holder alone.
class Clipboard {
public:
    Clipboard() = default;
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;
    Clipboard(Clipboard&&) = delete;
    Clipboard& operator=(Clipboard&&) = delete;
    virtual ~Clipboard() = default;

    // Empties the clipboard (or the selection) of all formats.
    virtual void clipboardClear(ClipboardMode mode) = 0;
    // Puts the password `text` on the clipboard as plain text, marked as a secret that
    // clipboard histories should skip. Whatever the clipboard held, in any format, is gone at
    // once, without a moment of an empty clipboard in between.
    virtual void clipboardSetText(const Text& text) = 0;
    // True while the clipboard (or the selection) holds exactly `text`, whoever put it there
    // (a clipboard manager may have taken it over), or a part of it put there by this program.
    [[nodiscard]] virtual bool clipboardHolds(const Text& text, ClipboardMode mode) const = 0;
    // The clipboard's (or the selection's) text now, whoever put it there; empty when none.
    [[nodiscard]] virtual ClipboardText clipboardText(ClipboardMode mode) const = 0;
    // Puts `content` on the clipboard (or the selection), marked as a secret only if it was.
    virtual void clipboardPutBack(const ClipboardText& content, ClipboardMode mode) = 0;
    // Lets other programs answer at once what this program has just emptied, as a Wayland
    // compositor's own clipboard does; true when one took it over or refilled it. Waits only
    // where a window is needed to change the clipboard again, and then only briefly.
    virtual bool clipboardAnsweredAtOnce() = 0;
    // Lets other programs, clipboard managers above all, answer what this program has just
    // emptied or put back, for a second at most: over early once each emptied one has been
    // taken over and each one put back taken over or read.
    virtual void clipboardWait() = 0;
};

class FormRuntime : public Clipboard {
public:
    FormRuntime() = default;
    FormRuntime(const FormRuntime&) = delete;
    FormRuntime& operator=(const FormRuntime&) = delete;
    FormRuntime(FormRuntime&&) = delete;
    FormRuntime& operator=(FormRuntime&&) = delete;
    ~FormRuntime() override = default;

    // Setting replaces the whole content; reading gives the current content.
    [[nodiscard]] virtual Text text(TextBox box) const = 0;
    virtual void setText(TextBox box, const Text& text) = 0;
    virtual void setFocus(TextBox box) = 0;
    // The text shown in the combo box: a chosen list item or typed text.
    [[nodiscard]] virtual Text text(ComboBox box) const = 0;
    [[nodiscard]] virtual bool checked(MenuItem item) const = 0;
    virtual void setChecked(MenuItem item, bool checked) = 0;

    // A modal message with one OK button and no icon, titled "Tessivo"; returns when dismissed.
    virtual void msgBox(const Text& message) = 0;
    // The desktop's usual audible signal, for input that was refused.
    virtual void beep() = 0;
    // Loads the form if it is not loaded (which runs its load handler), shows it modeless and
    // without an owner, and brings it to the front. There is only ever one of each form.
    virtual void show(Form form) = 0;
    // Takes the form's window off the screen at once, leaving it loaded (nothing happens when
    // it is not loaded), so that what is left to do before it goes happens out of sight.
    virtual void hide(Form form) = 0;
    // Closes the form, running its unload handler first. The program ends when no form is
    // left loaded.
    virtual void unload(Form form) = 0;
    // Ends the program at once: no further events, no unload handler.
    virtual void end() = 0;
};

} // namespace tessivo::forms
