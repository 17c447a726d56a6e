#pragma once

#include "clipboard.h"
#include "engine.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How `tessivo-cli --clip` hands a password to the window program's windowless clipboard holder,
// `tessivo --clip-holder`: never through arguments or the environment, only over a stream
// socket the holder finds as descriptor `Descriptor`. One message, ended by the sender shutting
// its writing side, carries the password and its time, both ends making and reading it with the
// codec below; the holder answers with one `Status` byte once the password is on the clipboard,
// or is not.
namespace tessivo::clipboard::channel {

inline constexpr const char* Option = "--clip-holder";
inline constexpr int Descriptor = 3;

// How long the password stays, in seconds.
inline constexpr int DefaultSeconds = 45;
inline constexpr int FewestSeconds = 1;
inline constexpr int MostSeconds = 3600;

enum class Status : unsigned char {
    OnClipboard = 0, // the password is on the clipboard, marked secret
    NoClipboard = 1, // no X11 clipboard could be reached
    BadRequest = 2,  // no password, or not one the window could make, or a bad time
    OutOfReach = 3,  // the compositor would keep a copy the holder could not take back
};

// The password to hold, and for how long.
struct Request {
    Text password;
    int seconds = DefaultSeconds;
};

// UTF-32 units in this machine's byte order: the seconds, then the password's code points.
[[nodiscard]] std::string Encode(std::u32string_view password, int seconds);

// The longest message a password the window makes gives.
inline constexpr std::size_t MostBytes = (1 + derivation::MaxPasswordLength) * sizeof(char32_t);

// The request `message` carries, or none when the command line could not have sent it: no
// password or a longer one than the window makes, a length not a multiple of four, a NUL or a
// code point that is no Unicode scalar value, or seconds out of range. `message` is wiped.
[[nodiscard]] std::optional<Request> Decode(std::string& message);

} // namespace tessivo::clipboard::channel
