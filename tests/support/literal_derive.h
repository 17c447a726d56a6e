#pragma once

#include "engine.h"

#include <string>
#include <string_view>

namespace tessivo::testing {

// The derivation written out step by step as it was first made: key-code and piece tables,
// the selector reduced by repeated subtraction, double-precision products. Slow on purpose;
// it is the reference the real engine must match. Same preconditions as Derive.
std::u32string LiteralDerive(std::u32string_view seed, std::u32string_view key, int length,
                             derivation::Mode mode);

} // namespace tessivo::testing
