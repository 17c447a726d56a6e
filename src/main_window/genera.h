#pragma once

#include "clipboard.h"
#include "engine.h"
#include "form1_fields.h"
#include "form_runtime.h"

// The main form's generate command.
namespace tessivo::main_window {

enum class GeneraOutcome {
    Generated,     // password shown (or "OK") and on the clipboard
    NoSeed,        // site and user both empty: message shown
    BadLength,     // length text not a whole number 1..14: message shown
    NoNumberDigits // Number mode gave an empty password: message shown
};

// Generates the password from the main form's fields and variables, shows it (or "OK" when
// hiding is on) and puts it on the clipboard. An empty key box counts as "0", and becomes "0"
// once the password is made. When no password can be made, explains why in a message box,
// leaves the password box empty and every input, `clipboard` and `Pas` as they were.
// When a password is made and `weakKey` is given, it receives how guessable the key makes it.
GeneraOutcome Genera(forms::FormRuntime& form, clipboard::Clipboard& clipboard,
                     Form1Variables& vars, derivation::WeakKey* weakKey = nullptr);

} // namespace tessivo::main_window
