#pragma once

#include <string>
#include <string_view>

// The operations the window logic needs from the windowing layer (the clipboard aside: it has
// a room of its own), and nothing more, so that
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

class FormRuntime {
public:
    FormRuntime() = default;
    FormRuntime(const FormRuntime&) = delete;
    FormRuntime& operator=(const FormRuntime&) = delete;
    FormRuntime(FormRuntime&&) = delete;
    FormRuntime& operator=(FormRuntime&&) = delete;
    virtual ~FormRuntime() = default;

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
