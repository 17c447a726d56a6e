#include "form1.h"

#include "form_names.h"
#include "genera.h"
#include "secret.h"
#include "typed_input.h"

namespace tessivo::main_window {

namespace {

constexpr char32_t Enter = 13;
constexpr char32_t Refused = 0;

const forms::Text HelpMessage = U"ATTENTION work of course";
const forms::Text WeakKeyMessageStart =
    U"This key gives an easily guessed password for this site and user: ";
const forms::Text WeakKeyMessageEnd =
    U". The password is on the clipboard as usual; for new accounts, choose another key.";

} // namespace

Form1::Form1(forms::FormRuntime& runtime, clipboard::Clipboard& clipboard)
    : m_runtime(runtime)
    , m_clipboard(clipboard)
    , m_rules(clipboard, clipboard::PasswordClipboard::Reach::ClipboardAndSelection)
{
}

Form1::~Form1()
{
    derivation::Wipe(m_vars.K);
    derivation::Wipe(m_vars.Pas);
}

void Form1::Form_Load()
{
    m_runtime.setChecked(Alphabet, true);
    m_vars.Z = 0;
    m_runtime.setChecked(Number, false);
    m_vars.H = 0;
    m_runtime.setChecked(Hideing, false);
}

// The key goes first, from the box too: the window leaves the screen before the clipboard has
// settled, and the program may go on (with the information window open) long after.
void Form1::Form_Unload()
{
    m_runtime.setText(TxtKey, {});
    derivation::Wipe(m_vars.K);
    leave({forms::Form1Name});
    derivation::Wipe(m_vars.Pas);
}

void Form1::Zeph_Click() { Genera(); }

void Form1::ComZeph_Click() { Genera(); }

void Form1::Canc_Click() { Cancella(); }

void Form1::ComCanc_Click() { Cancella(); }

void Form1::ComEnd_Click()
{
    leave({forms::Form1Name, forms::Form2Name});
    m_runtime.end();
}

void Form1::Esc_Click() { m_runtime.end(); }

// Both items flip the mode every time, whichever of them is chosen.
void Form1::Alphabet_Click() { setMode(m_runtime.checked(Alphabet) ? 1 : 0); }

void Form1::Number_Click() { setMode(m_runtime.checked(Number) ? 0 : 1); }

void Form1::setMode(std::int16_t z)
{
    const forms::MenuItem on = z == 0 ? Alphabet : Number;
    const forms::MenuItem off = z == 0 ? Number : Alphabet;
    m_runtime.setChecked(on, true);
    m_vars.Z = z;
    m_runtime.setChecked(off, false);
}

void Form1::Hideing_Click()
{
    const bool hide = !m_runtime.checked(Hideing);
    m_runtime.setChecked(Hideing, hide);
    m_vars.H = hide ? 1 : 0;
}

void Form1::Help_Click() { m_runtime.msgBox(HelpMessage); }

void Form1::Info_Click() { m_runtime.show(forms::Form2Name); }

void Form1::TxtKey_KeyPress(char32_t& code)
{
    if (derivation::IsKeyCharacter(code)) {
        return; // the box shows it as "*"; `K` follows the box
    }
    if (code == Enter) {
        Genera();
        return;
    }
    // Without a sign, a keyboard layout whose characters the box refuses would leave it
    // silently empty, and the key would quietly become "0".
    code = Refused;
    m_runtime.beep();
}

void Form1::TxtKey_Change()
{
    forms::Text key = m_runtime.text(TxtKey);
    derivation::Wipe(m_vars.K);
    m_vars.K = std::move(key);
}

void Form1::Genera()
{
    m_rules.rememberBefore(m_vars.Pas);
    derivation::WeakKey weakness = derivation::WeakKey::None;
    if (main_window::Genera(m_runtime, m_clipboard, m_vars, &weakness) ==
            GeneraOutcome::Generated &&
        weakness != derivation::WeakKey::None) {
        warnOfWeakKey(weakness);
    }
}

// The password stays exactly what it always was (accounts use it); the user is only told, and
// only once per site and user, so that regenerating a known weak password does not nag.
void Form1::warnOfWeakKey(derivation::WeakKey weakness)
{
    forms::Text seed = m_runtime.text(TxtNomesito) + m_runtime.text(TxtUsername);
    if (!m_warnedSeeds.insert(std::move(seed)).second) {
        return;
    }
    const std::string_view reason = derivation::WeakKeyReason(weakness);
    m_runtime.msgBox(WeakKeyMessageStart + forms::Text(reason.begin(), reason.end()) +
                     WeakKeyMessageEnd);
}

void Form1::Cancella()
{
    m_runtime.setText(TxtNomesito, {});
    m_runtime.setText(TxtUsername, {});
    m_runtime.setText(TxtKey, {});
    derivation::Wipe(m_vars.K);
    m_runtime.setText(LabPassword, {});
    m_runtime.setFocus(TxtNomesito);
}

// Also the selection: selecting the shown password fills it. The clipboard is changed while
// the windows are still up (a Wayland compositor takes a change only from a program the user
// has just used), then they go at once: leaving feels instant, and the wait for a clipboard
// manager, up to a second, happens out of sight.
void Form1::leave(std::initializer_list<forms::Form> windows)
{
    const bool changed = m_rules.takeBack(m_vars.Pas);
    if (changed) {
        m_rules.answerAtOnce(m_vars.Pas);
    }
    for (const forms::Form window : windows) {
        m_runtime.hide(window);
    }
    if (changed) {
        m_rules.settle(m_vars.Pas);
    }
}

} // namespace tessivo::main_window
