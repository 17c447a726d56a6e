#pragma once

// `tessivo --clip-holder SECONDS`, started by `tessivo-cli --clip` only (see
// clip_holder_protocol.h): without a window, puts the password it is handed on the clipboard,
// serves it, and after SECONDS takes it back as END does, then ends. A later holder replaces an
// earlier one. Returns the program's exit status.
namespace tessivo {

int RunClipHolder(int argc, char* argv[]);

} // namespace tessivo
