#pragma once

namespace tessivo::derivation {

// Call first thing in main, before any key is typed or read. On Linux: no core file (soft and
// hard RLIMIT_CORE 0) and not dumpable, so neither a crash nor a debugger or another program
// of the same user can read the key out of the process. A step that fails is reported on
// stderr under `program`'s name and the program goes on. Elsewhere: nothing.
void HardenProcess(const char* program) noexcept;

} // namespace tessivo::derivation
