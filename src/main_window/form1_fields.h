#pragma once

#include "form_runtime.h"

#include <cstdint>

// What of the main form `Form1` the generate command reads and writes.
namespace tessivo::main_window {

// The main form's variables. Flags are 16-bit and tested for zero.
struct Form1Variables {
    forms::Text K;      // the key: exactly the characters the key box's stars stand for
    std::int16_t Z = 0; // 0: Alphabet mode; anything else: Number mode
    std::int16_t H = 0; // 0: show the password; anything else: show "OK"
    forms::Text Pas;    // the last password, also what Tessivo last put on the clipboard
};

inline constexpr forms::TextBox TxtNomesito{"TxtNomesito"};
inline constexpr forms::TextBox TxtUsername{"TxtUsername"};
inline constexpr forms::TextBox TxtKey{"TxtKey"};
inline constexpr forms::TextBox LabPassword{"LabPassword"};
inline constexpr forms::ComboBox Cobnumerokey{"Cobnumerokey"};

} // namespace tessivo::main_window
