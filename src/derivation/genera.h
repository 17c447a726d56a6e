#pragma once

#include "form1_fields.h"
#include "form_runtime.h"

#include <optional>
#include <string_view>

namespace tessivo::derivation {

enum class GeneraOutcome {
    Generated,     // password shown (or "OK") and on the clipboard
    NoSeed,        // site and user both empty: message shown
    BadLength,     // length text not a whole number 1..14: message shown
    NoNumberDigits // Number mode gave an empty password: message shown
};

// The password length typed or chosen in the length box: ASCII digits, leading zeros and
// surrounding spaces or tabs allowed, value 1..14. Anything else: nullopt.
std::optional<int> ParseLength(std::u32string_view text) noexcept;

// Generates the password from the main form's fields and variables, shows it (or "OK" when
// hiding is on) and puts it on the clipboard. When no password can be made, explains why in
// a message box, leaves the password box empty and leaves the clipboard and `Pas` untouched.
// An empty key box becomes "0", and that "0" is then the key.
GeneraOutcome Genera(forms::FormRuntime& form, Form1Variables& vars);

} // namespace tessivo::derivation
