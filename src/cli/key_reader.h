#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tessivo::cli {

// The key's line as read, without its line end; overwritten when it goes. Holds a little
// more than the longest key, so that a longer line is known to be one.
class KeyLine {
public:
    KeyLine() = default;
    KeyLine(const KeyLine&) = delete;
    KeyLine& operator=(const KeyLine&) = delete;
    KeyLine(KeyLine&&) = delete;
    KeyLine& operator=(KeyLine&&) = delete;
    ~KeyLine();

    [[nodiscard]] std::string_view bytes() const { return {m_buffer.data(), m_size}; }
    [[nodiscard]] bool tooLong() const { return m_tooLong; }

private:
    friend class KeyReading;
    std::array<char, 8> m_buffer{};
    std::size_t m_size = 0;
    bool m_tooLong = false;
};

enum class KeyRead {
    Line,   // `line` holds what was typed or piped (possibly too long, see tooLong())
    NoLine, // end of input before any line
    Failed, // reading failed; errno says why
};

// Reads the key. When standard input is a terminal: "Key: " on that terminal, then one line
// typed with echo off; the terminal is set back however the reading ends, also when a
// signal (Ctrl+C, a hang-up, a kill) ends the program, which then dies of that signal as it
// would have. Otherwise: the first line of standard input, its "\n" or "\r\n" left out.
KeyRead ReadKey(KeyLine& line);

} // namespace tessivo::cli
