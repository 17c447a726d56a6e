#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Turning fuzzer bytes into the engine's inputs. Shared by the fuzz targets.
namespace tessivo::fuzzing {

// Reads a fuzzer input front to back. Reading past the end gives zero bytes, so that a short
// input still runs (with empty texts and zero numbers) instead of being thrown away.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    std::uint8_t byte() { return m_position < m_size ? m_data[m_position++] : std::uint8_t{0}; }

    std::uint16_t u16()
    {
        const auto low = static_cast<unsigned>(byte());
        const auto high = static_cast<unsigned>(byte());
        return static_cast<std::uint16_t>(low | (high << 8U));
    }

    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }

    std::uint32_t u32()
    {
        std::uint32_t value = 0;
        for (unsigned shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(byte()) << shift;
        }
        return value;
    }

    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // Up to `count` bytes; fewer when the input ends first.
    std::basic_string<std::uint8_t> bytes(std::size_t count)
    {
        const std::size_t available = m_size - m_position;
        const std::size_t taken = count < available ? count : available;
        std::basic_string<std::uint8_t> out(m_data + m_position, taken);
        m_position += taken;
        return out;
    }

    std::basic_string<std::uint8_t> rest() { return bytes(m_size - m_position); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

// How text bytes become code points. The real windows only ever hand over valid code points,
// but the engine takes any char32_t, so every encoding below can also produce values no
// window would: surrogates, values past U+10FFFF, up to 0xFFFFFFFF.
enum class Encoding : std::uint8_t {
    Utf8Replacing = 0, // well-formed UTF-8; each ill-formed part becomes U+FFFD
    Utf8Raw = 1,       // any lead/continuation pattern up to 6 bytes decoded as is (overlongs,
                       // surrogates, up to 0x7FFFFFFF); a stray byte stands for its own value
    Utf32Raw = 2,      // 4 bytes little-endian per code point, any value; leftover bytes dropped
    Utf16Raw = 3,      // UTF-16LE, pairs joined, lone surrogates kept; a leftover byte dropped
};

using Bytes = std::basic_string<std::uint8_t>;

inline bool isContinuation(std::uint8_t b) { return (b & 0xC0U) == 0x80U; }

inline std::u32string decodeUtf8Replacing(const Bytes& in)
{
    std::u32string out;
    std::size_t i = 0;
    while (i < in.size()) {
        const std::uint8_t lead = in[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        // Bounds of the first continuation byte rule out overlongs, surrogates and values
        // past U+10FFFF, as the Unicode standard's table of well-formed sequences does.
        std::size_t need = 0;
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        char32_t value = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            value = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            value = lead & 0x0FU;
            if (lead == 0xE0)
                low = 0xA0;
            if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            value = lead & 0x07U;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        } else {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        ++i;
        bool complete = true;
        for (std::size_t k = 0; k < need; ++k) {
            if (i >= in.size() || in[i] < low || in[i] > high) {
                complete = false; // the offending byte starts the next sequence
                break;
            }
            value = (value << 6U) | (in[i] & 0x3FU);
            ++i;
            low = 0x80;
            high = 0xBF;
        }
        out.push_back(complete ? value : U'\uFFFD');
    }
    return out;
}

inline std::u32string decodeUtf8Raw(const Bytes& in)
{
    std::u32string out;
    std::size_t i = 0;
    while (i < in.size()) {
        const std::uint8_t lead = in[i];
        std::size_t need = 0;
        char32_t value = lead;
        if (lead >= 0xC0 && lead <= 0xDF) {
            need = 1;
            value = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            value = lead & 0x0FU;
        } else if (lead >= 0xF0 && lead <= 0xF7) {
            need = 3;
            value = lead & 0x07U;
        } else if (lead >= 0xF8 && lead <= 0xFB) {
            need = 4;
            value = lead & 0x03U;
        } else if (lead >= 0xFC && lead <= 0xFD) {
            need = 5;
            value = lead & 0x01U;
        }
        std::size_t k = 0;
        while (k < need && i + 1 + k < in.size() && isContinuation(in[i + 1 + k])) {
            value = (value << 6U) | (in[i + 1 + k] & 0x3FU);
            ++k;
        }
        if (k == need) {
            out.push_back(value);
            i += 1 + need;
        } else {
            out.push_back(lead);
            ++i;
        }
    }
    return out;
}

inline std::u32string decodeUtf32Raw(const Bytes& in)
{
    std::u32string out;
    for (std::size_t i = 0; i + 4 <= in.size(); i += 4) {
        out.push_back(static_cast<char32_t>(in[i]) | (static_cast<char32_t>(in[i + 1]) << 8U) |
                      (static_cast<char32_t>(in[i + 2]) << 16U) |
                      (static_cast<char32_t>(in[i + 3]) << 24U));
    }
    return out;
}

inline std::u32string decodeUtf16Raw(const Bytes& in)
{
    std::u32string out;
    const auto unit = [&in](std::size_t i) {
        return static_cast<char32_t>(in[i]) | (static_cast<char32_t>(in[i + 1]) << 8U);
    };
    std::size_t i = 0;
    while (i + 2 <= in.size()) {
        const char32_t first = unit(i);
        if (first >= 0xD800 && first <= 0xDBFF && i + 4 <= in.size()) {
            const char32_t second = unit(i + 2);
            if (second >= 0xDC00 && second <= 0xDFFF) {
                out.push_back(0x10000 + ((first - 0xD800) << 10U) + (second - 0xDC00));
                i += 4;
                continue;
            }
        }
        out.push_back(first);
        i += 2;
    }
    return out;
}

inline std::u32string decode(const Bytes& in, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8Replacing:
        return decodeUtf8Replacing(in);
    case Encoding::Utf8Raw:
        return decodeUtf8Raw(in);
    case Encoding::Utf32Raw:
        return decodeUtf32Raw(in);
    case Encoding::Utf16Raw:
        return decodeUtf16Raw(in);
    }
    return {};
}

inline Encoding encodingFrom(std::uint8_t control)
{
    return static_cast<Encoding>(control & 0x03U);
}

// A finding: say which property broke, then abort so libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what)
{
    std::fprintf(stderr, "\n*** property violated: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void require(bool holds, const char* what)
{
    if (!holds) {
        fail(what);
    }
}

// For the crash report: the code points in hex, so an input can be read without a decoder.
inline void dump(const char* label, const std::u32string& text)
{
    std::fprintf(stderr, "%s (%zu):", label, text.size());
    for (const char32_t c : text) {
        std::fprintf(stderr, " %X", static_cast<unsigned>(c));
    }
    std::fprintf(stderr, "\n");
}

} // namespace tessivo::fuzzing
