#pragma once

namespace tessivo::forms {

// From now on, text changes in a masked box (the key box) reach assistive technology with one
// "*" per character, never the characters: the accessibility bus hands them to any program
// that listens. Call once, before any window exists.
void MaskAccessibleTextChanges();

} // namespace tessivo::forms
