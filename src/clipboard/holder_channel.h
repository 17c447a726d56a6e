#pragma once

// How `tessivo-cli --clip` hands a password to the window program's windowless clipboard holder,
// `tessivo --clip-holder SECONDS`: never through arguments or the environment, only over a
// stream socket the holder finds as descriptor `Descriptor`. The password arrives as UTF-32 code
// points in this machine's byte order, ended by the sender shutting its writing side; the
// holder answers with one `Status` byte once the password is on the clipboard, or is not.
namespace tessivo::clipboard::channel {

inline constexpr const char* Option = "--clip-holder";
inline constexpr int Descriptor = 3;

// How long the password stays, in seconds.
inline constexpr int DefaultSeconds = 45;
inline constexpr int FewestSeconds = 1;
inline constexpr int MostSeconds = 3600;

// A password's length, in code points, from the longest the window makes.
inline constexpr int MostCharacters = 14;

enum class Status : unsigned char {
    OnClipboard = 0, // the password is on the clipboard, marked secret
    NoClipboard = 1, // no X11 clipboard could be reached
    BadRequest = 2,  // no password, or not one the window could make, or a bad time
};

} // namespace tessivo::clipboard::channel
