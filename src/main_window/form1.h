#pragma once

#include "clipboard.h"
#include "engine.h"
#include "form1_fields.h"
#include "form_runtime.h"
#include "password_clipboard.h"

#include <initializer_list>
#include <set>

// The main form's logic: its handlers and procedures, written against the form runtime and the
// clipboard only, so they run the same in the real window and against an in-memory runtime.
namespace tessivo::main_window {

inline constexpr forms::MenuItem Number{"Number"};
inline constexpr forms::MenuItem Alphabet{"Alphabet"};
inline constexpr forms::MenuItem Hideing{"Hideing"};

class Form1 {
public:
    Form1(forms::FormRuntime& runtime, clipboard::Clipboard& clipboard);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;
    Form1(Form1&&) = delete;
    Form1& operator=(Form1&&) = delete;
    // The key and the last password are wiped with the form.
    ~Form1();

    void Form_Load();
    void Form_Unload();
    void Zeph_Click();
    void ComZeph_Click();
    void Canc_Click();
    void ComCanc_Click();
    void ComEnd_Click();
    void Esc_Click();
    void Alphabet_Click();
    void Number_Click();
    void Hideing_Click();
    void Help_Click();
    void Info_Click();

    // A character typed into the key box, before the box takes it. Set `code` to 0 to refuse
    // the character. Enter (13) generates; the box then gets the key unchanged.
    void TxtKey_KeyPress(char32_t& code);
    // The key box's content changed, by any edit: `K` follows it.
    void TxtKey_Change();

    void Genera();
    void Cancella();

    [[nodiscard]] const Form1Variables& variables() const { return m_vars; }

private:
    void setMode(std::int16_t z);
    void warnOfWeakKey(derivation::WeakKey weakness);
    // Takes the password off the clipboard and the selection, then `windows` off the screen.
    void leave(std::initializer_list<forms::Form> windows);

    forms::FormRuntime& m_runtime;
    clipboard::Clipboard& m_clipboard;
    Form1Variables m_vars;
    std::set<forms::Text> m_warnedSeeds; // site + user texts already warned of a weak key
    clipboard::PasswordClipboard m_rules;
};

} // namespace tessivo::main_window
