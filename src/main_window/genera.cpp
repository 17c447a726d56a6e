#include "genera.h"

#include "engine.h"
#include "secret.h"
#include "typed_input.h"

namespace tessivo::main_window {

using derivation::Derive;
using derivation::KeySum;
using derivation::Mode;
using derivation::Wipe;

namespace {

const forms::Text NoSeedMessage =
    U"Type a site name or a user name first: the password is made from them.";
const forms::Text BadLengthMessage = U"The password length must be a whole number from 1 to 14.";
const forms::Text NoNumberDigitsMessage =
    U"In Number mode this length gives no password for this site and user. "
    U"Choose a longer length, or Alphabet mode.";
const forms::Text HiddenPassword = U"OK";
const forms::Text DefaultKey = U"0";

} // namespace

GeneraOutcome Genera(forms::FormRuntime& form, clipboard::Clipboard& clipboard,
                     Form1Variables& vars, derivation::WeakKey* weakKey)
{
    form.setText(LabPassword, {});
    const forms::Text site = form.text(TxtNomesito);
    const forms::Text user = form.text(TxtUsername);

    // An empty box stands for "0", but the box and `K` only become "0" once a password is
    // made: a refused generation must not slip a "0" in front of the key typed next.
    forms::Text keyBox = form.text(TxtKey);
    const bool defaultKey = keyBox.empty();
    // The box decides how many characters count, the buffer what they are; a buffer shorter
    // than the box counts as what it holds.
    const int keySum = defaultKey ? KeySum(DefaultKey)
                                  : KeySum(std::u32string_view(vars.K).substr(0, keyBox.size()));
    Wipe(keyBox);

    const forms::Text seed = site + user;
    if (seed.empty()) {
        form.msgBox(NoSeedMessage);
        return GeneraOutcome::NoSeed;
    }
    const auto length = derivation::ParseLength(form.text(Cobnumerokey));
    if (!length) {
        form.msgBox(BadLengthMessage);
        return GeneraOutcome::BadLength;
    }

    forms::Text password =
        Derive(seed, keySum, *length, vars.Z == 0 ? Mode::Alphabet : Mode::Number);
    if (password.empty()) {
        form.msgBox(NoNumberDigitsMessage);
        return GeneraOutcome::NoNumberDigits;
    }
    if (defaultKey) {
        form.setText(TxtKey, DefaultKey);
        Wipe(vars.K);
        vars.K = DefaultKey;
    }
    Wipe(vars.Pas);
    vars.Pas = std::move(password);

    form.setText(LabPassword, vars.H != 0 ? HiddenPassword : vars.Pas);
    // One step, never emptied first: a clipboard manager that refills an empty clipboard
    // (xfce4-clipman does) could put its own newest entry there in between, over the password.
    clipboard.setText(vars.Pas);
    if (weakKey != nullptr) {
        *weakKey = derivation::ClassifyKeySum(keySum, static_cast<int>(seed.size()));
    }
    return GeneraOutcome::Generated;
}

} // namespace tessivo::main_window
