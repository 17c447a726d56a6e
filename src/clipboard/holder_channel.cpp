#include "holder_channel.h"

#include "secret.h"

#include <algorithm>
#include <cstring>

namespace tessivo::clipboard::channel {

namespace {

constexpr std::size_t Unit = sizeof(char32_t);

constexpr bool isPasswordCharacter(char32_t c)
{
    return c != U'\0' && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

} // namespace

std::string Encode(std::u32string_view password, int seconds)
{
    std::string message((1 + password.size()) * Unit, '\0');
    const auto time = static_cast<char32_t>(seconds);
    std::memcpy(message.data(), &time, Unit);
    std::memcpy(message.data() + Unit, password.data(), password.size() * Unit);
    return message;
}

std::optional<Request> Decode(std::string& message)
{
    std::optional<Request> request;
    if (message.size() % Unit == 0 && message.size() > Unit && message.size() <= MostBytes) {
        // Filled where it is returned from, so that no copy of the password is left behind.
        request.emplace();
        char32_t seconds = 0;
        std::memcpy(&seconds, message.data(), Unit);
        request->seconds = static_cast<int>(seconds);
        request->password.resize(message.size() / Unit - 1);
        std::memcpy(request->password.data(), message.data() + Unit, message.size() - Unit);
        if (seconds < char32_t{FewestSeconds} || seconds > char32_t{MostSeconds} ||
            !std::all_of(request->password.begin(), request->password.end(), isPasswordCharacter)) {
            derivation::Wipe(request->password);
            request.reset();
        }
    }
    derivation::Wipe(message);
    return request;
}

} // namespace tessivo::clipboard::channel
