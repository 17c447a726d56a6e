#pragma once

// The window program's second entrance, `tessivo --clip-holder`, started by `tessivo-cli --clip`
// only (see holder_channel.h): without a window, puts the password it is handed on the
// clipboard, serves it, and when its time is up takes it back as END does, then ends. A later
// holder replaces an earlier one (clip_holder_succession.h).
namespace tessivo::clip_holder {

// Returns the program's exit status.
int Run(int argc, char* argv[]);

} // namespace tessivo::clip_holder
