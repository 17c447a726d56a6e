#pragma once

#include "form_runtime.h"

namespace tessivo::forms {

// The program's two forms, as `show` and `unload` know them.
inline constexpr Form Form1Name{"Form1"};
inline constexpr Form Form2Name{"Form2"};

} // namespace tessivo::forms
