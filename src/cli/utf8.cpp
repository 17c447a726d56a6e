#include "utf8.h"

namespace tessivo::cli {

std::optional<std::u32string> DecodeUtf8(std::string_view bytes)
{
    std::u32string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text.push_back(lead);
            ++i;
            continue;
        }
        // The well-formed sequences of the Unicode standard: the lead byte says how many
        // bytes follow, and for a few leads the second byte's range is narrower, which is
        // what rules out overlong forms, surrogates and code points above U+10FFFF.
        std::size_t following = 0;
        char32_t c = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            following = 1;
            c = lead & 0x1FU;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            c = lead & 0x0FU;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            c = lead & 0x07U;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i - 1 < following) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k <= following; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < low || next > high) {
                return std::nullopt;
            }
            low = 0x80;
            high = 0xBF;
            c = (c << 6) | (next & 0x3FU);
        }
        text.push_back(c);
        i += following + 1;
    }
    return text;
}

void AppendUtf8(std::string& out, std::u32string_view text)
{
    const auto byte = [&out](char32_t value) { out.push_back(static_cast<char>(value)); };
    for (const char32_t c : text) {
        if (c < 0x80) {
            byte(c);
        } else if (c < 0x800) {
            byte(0xC0 | (c >> 6));
            byte(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            byte(0xE0 | (c >> 12));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        } else {
            byte(0xF0 | (c >> 18));
            byte(0x80 | ((c >> 12) & 0x3F));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        }
    }
}

} // namespace tessivo::cli
