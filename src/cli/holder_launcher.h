#pragma once

#include <string>
#include <string_view>

// `--clip`: launches the window program without a window as the clipboard's holder and hands it
// the password; the holder serves it to the desktop after this program has ended and takes it
// back when the time is up. This program stays free of Qt and of any display.
namespace tessivo::cli {

class HolderLauncher {
public:
    // The window program to start, or why no clipboard can be reached from here: no X server
    // to talk to, or no window program beside this one or where it is installed. Asked before
    // the key, so that nobody types a key for nothing.
    [[nodiscard]] static HolderLauncher Find();

    [[nodiscard]] bool found() const { return m_problem.empty(); }
    // Why not, in a sentence without the program's name.
    [[nodiscard]] const std::string& problem() const { return m_problem; }

    // Starts the holder detached from this terminal and this program's output, hands it
    // `password`, and returns once the password is on the clipboard for `seconds`: true; false
    // and `problem()` says why not. The holder never outlives a failure with the password.
    bool launch(std::u32string_view password, int seconds);

private:
    std::string m_program;
    std::string m_problem;
};

} // namespace tessivo::cli
