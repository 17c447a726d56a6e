#include "engine.h"
#include "fd_io.h"
#include "holder_channel.h"
#include "holder_launcher.h"
#include "key_reader.h"
#include "process_hardening.h"
#include "secret.h"
#include "typed_input.h"
#include "utf8.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <getopt.h>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

namespace derivation = tessivo::derivation;
namespace cli = tessivo::cli;
namespace channel = tessivo::clipboard::channel;

constexpr const char* Program = "tessivo-cli";

constexpr const char* Usage =
    "Usage: tessivo-cli [--number] --length N SITE USER\n"
    "       tessivo-cli --clip [--clear-after SECONDS] [--number] --length N SITE USER\n"
    "       tessivo-cli --help | --version\n"
    "\n"
    "Prints the password Tessivo's window makes for SITE and USER (the texts of its site and\n"
    "user boxes; either may be \"\", not both). The key is asked for on the terminal without\n"
    "echo, or read from the first line of standard input when that is not a terminal; an\n"
    "empty key is \"0\". Keys hold at most 6 of the characters ! to }.\n"
    "\n"
    "  -l, --length N   the password's length, 1 to 14 (required)\n"
    "  -n, --number     digits (Number mode) instead of letters (Alphabet mode)\n"
    "  -c, --clip       put the password on the desktop's clipboard, marked secret, instead\n"
    "                   of printing it; it is taken back after a while, as END does\n"
    "      --clear-after SECONDS\n"
    "                   with --clip: how long it stays, 1 to 3600 (default 45)\n"
    "      --help       show this text and exit\n"
    "      --version    show the version and exit\n"
    "\n"
    "Exit status: 0 a password was printed (or put on the clipboard); 1 Number mode gives no\n"
    "digits for these inputs, or the key could not be read, the password written or no\n"
    "clipboard reached; 2 a usage error or refused input.\n"
    "See tessivo-cli(1).\n";

// As many characters as the window's site and user boxes take, counted as they count them:
// in UTF-16 units, so a character beyond U+FFFF takes two.
constexpr std::size_t NameBoxMaxLength = 19;

enum Status { Printed = 0, NoPassword = 1, Refused = 2 };

int refuse(const char* message)
{
    std::fprintf(stderr, "%s: %s\n", Program, message);
    return Refused;
}

int usageError(const char* message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", Program, message, Program);
    return Refused;
}

std::size_t utf16Length(std::u32string_view text)
{
    std::size_t units = 0;
    for (const char32_t c : text) {
        units += c > 0xFFFF ? 2 : 1;
    }
    return units;
}

// The text of a site or user argument, or the reason it cannot be one, already reported.
std::optional<std::u32string> nameArgument(const char* argument, const char* what)
{
    auto text = cli::DecodeUtf8(argument);
    if (!text) {
        std::fprintf(stderr, "%s: the %s is not valid UTF-8\n", Program, what);
        return std::nullopt;
    }
    if (utf16Length(*text) > NameBoxMaxLength) {
        std::fprintf(stderr, "%s: the %s is longer than the window's box takes (%zu characters)\n",
                     Program, what, NameBoxMaxLength);
        return std::nullopt;
    }
    return text;
}

struct Request {
    std::u32string seed;
    int length = 0;
    derivation::Mode mode = derivation::Mode::Alphabet;
    bool clip = false;
    int clearAfter = channel::DefaultSeconds;
};

// The command line as given: the options' values and the operands, still unchecked.
struct Arguments {
    const char* lengthText = nullptr;
    derivation::Mode mode = derivation::Mode::Alphabet;
    bool clip = false;
    const char* clearAfterText = nullptr;
    std::vector<const char*> operands;
};

enum LongOnly { Help = 256, Version, ClearAfter };

const option Options[] = {
    {"length", required_argument, nullptr, 'l'},
    {"number", no_argument, nullptr, 'n'},
    {"clip", no_argument, nullptr, 'c'},
    {"clear-after", required_argument, nullptr, ClearAfter},
    {"help", no_argument, nullptr, Help},
    {"version", no_argument, nullptr, Version},
    {nullptr, 0, nullptr, 0},
};

// "-": operands arrive in order as option 1, whatever POSIXLY_CORRECT says; ":": a missing
// option argument is told from an unknown option, and getopt prints nothing.
constexpr const char* ShortOptions = "-:l:nc";

// `given` is the argument getopt could not take.
void reportBadOption(std::string_view given)
{
    // Without what follows "=": someone trying --key=... would see the key repeated.
    const std::string unknown = given.starts_with("--")
                                    ? std::string(given.substr(0, given.find('=')))
                                    : std::string("-") + static_cast<char>(optopt);
    // getopt tells a known option given a value it does not take by its letter.
    const char* what = given.starts_with("--") && optopt != 0 ? "takes no value" : "is unknown";
    std::fprintf(stderr, "%s: option '%s' %s\nTry '%s --help'.\n", Program, unknown.c_str(), what,
                 Program);
}

// The options and operands, or nullopt and the status to end with: 0 after --help or
// --version. Options may come before, between or after the operands; "--" ends them.
std::optional<Arguments> readArguments(int argc, char* argv[], int& status)
{
    opterr = 0;
    status = Refused;
    Arguments arguments;
    int option = 0;
    while ((option = getopt_long(argc, argv, ShortOptions, Options, nullptr)) != -1) {
        switch (option) {
        case 1:
            arguments.operands.push_back(optarg);
            break;
        case 'l':
            arguments.lengthText = optarg;
            break;
        case 'n':
            arguments.mode = derivation::Mode::Number;
            break;
        case 'c':
            arguments.clip = true;
            break;
        case ClearAfter:
            arguments.clearAfterText = optarg;
            break;
        case Help:
            std::fputs(Usage, stdout);
            status = Printed;
            return std::nullopt;
        case Version:
            std::puts("tessivo-cli " TESSIVO_VERSION);
            status = Printed;
            return std::nullopt;
        case ':':
            usageError(optopt == ClearAfter ? "--clear-after needs a value, 1 to 3600 seconds"
                                            : "--length needs a value, 1 to 14");
            return std::nullopt;
        default:
            reportBadOption(argv[optind - 1]);
            return std::nullopt;
        }
    }
    for (int i = optind; i < argc; ++i) {
        arguments.operands.push_back(argv[i]);
    }
    return arguments;
}

// --clear-after's seconds: digits only, 1 to 3600.
std::optional<int> parseSeconds(std::string_view text)
{
    int seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        seconds < channel::FewestSeconds || seconds > channel::MostSeconds) {
        return std::nullopt;
    }
    return seconds;
}

// What the arguments ask for, or nullopt once the reason they cannot is reported.
std::optional<Request> requestFrom(const Arguments& arguments)
{
    if (arguments.operands.size() != 2) {
        usageError("give the site and the user, two texts (\"\" for an empty one)");
        return std::nullopt;
    }
    if (arguments.lengthText == nullptr) {
        usageError("--length is required: the password's length, 1 to 14");
        return std::nullopt;
    }
    std::optional<int> clearAfter;
    if (arguments.clearAfterText != nullptr) {
        if (!arguments.clip) {
            usageError("--clear-after goes with --clip");
            return std::nullopt;
        }
        clearAfter = parseSeconds(arguments.clearAfterText);
        if (!clearAfter) {
            usageError("--clear-after takes a whole number of seconds, 1 to 3600");
            return std::nullopt;
        }
    }
    const auto site = nameArgument(arguments.operands[0], "site name");
    const auto user = nameArgument(arguments.operands[1], "user name");
    if (!site || !user) {
        return std::nullopt;
    }
    Request request{*site + *user, 0, arguments.mode, arguments.clip,
                    clearAfter.value_or(channel::DefaultSeconds)};
    if (request.seed.empty()) {
        refuse("give a site name or a user name (not both \"\"): the password is made from them");
        return std::nullopt;
    }
    const auto lengthChars = cli::DecodeUtf8(arguments.lengthText);
    const auto length = lengthChars ? derivation::ParseLength(*lengthChars) : std::nullopt;
    if (!length) {
        refuse("the password length must be a whole number from 1 to 14");
        return std::nullopt;
    }
    request.length = *length;
    return request;
}

// The request on the command line, or nullopt and the status to end with.
std::optional<Request> parseArguments(int argc, char* argv[], int& status)
{
    const auto arguments = readArguments(argc, argv, status);
    return arguments ? requestFrom(*arguments) : std::nullopt;
}

// The key's sum, or nullopt and the status to end with once the reason is reported. The
// key's characters exist only in `line`, which wipes itself, and in the text wiped here.
std::optional<int> readKeySum(int& status)
{
    status = Refused;
    cli::KeyLine line;
    switch (cli::ReadKey(line)) {
    case cli::KeyRead::Line:
        break;
    case cli::KeyRead::NoLine:
        refuse("no key: the input ended before a line did (an empty line is the key 0)");
        return std::nullopt;
    case cli::KeyRead::Failed:
        std::fprintf(stderr, "%s: could not read the key: %s\n", Program, std::strerror(errno));
        status = NoPassword;
        return std::nullopt;
    }

    std::u32string key;
    key.reserve(line.bytes().size());
    for (const char byte : line.bytes()) {
        key.push_back(static_cast<unsigned char>(byte));
    }
    const bool accepted = !line.tooLong() && derivation::IsKeyText(key);
    const int sum = derivation::KeySum(key.empty() ? std::u32string_view(U"0") : key);
    derivation::Wipe(key);
    if (!accepted) {
        refuse("key refused: a key holds at most 6 characters, each one of ! to } (printable "
               "ASCII without the space and ~)");
        return std::nullopt;
    }
    return sum;
}

// The password and its line end on standard output, unbuffered so no copy stays behind.
bool writePassword(const std::u32string& password)
{
    std::string bytes;
    bytes.reserve(password.size() * 4 + 1);
    cli::AppendUtf8(bytes, password);
    bytes.push_back('\n');
    const bool written = tessivo::fd_io::WriteAll(STDOUT_FILENO, bytes);
    const int writeError = errno;
    derivation::Wipe(bytes);
    if (!written) {
        std::fprintf(stderr, "%s: could not write the password: %s\n", Program,
                     std::strerror(writeError));
    }
    return written;
}

int run(int argc, char* argv[])
{
    int status = Refused;
    const auto request = parseArguments(argc, argv, status);
    if (!request) {
        return status;
    }
    std::optional<cli::HolderLauncher> launcher;
    if (request->clip) {
        launcher = cli::HolderLauncher::Find();
        if (!launcher->found()) {
            std::fprintf(stderr, "%s: %s\n", Program, launcher->problem().c_str());
            return NoPassword;
        }
    }
    const auto keySum = readKeySum(status);
    if (!keySum) {
        return status;
    }

    std::u32string password =
        derivation::Derive(request->seed, *keySum, request->length, request->mode);
    if (password.empty()) {
        refuse("in Number mode this length gives no password for this site and user; choose a "
               "longer --length, or leave out --number");
        return NoPassword;
    }
    const auto weakness =
        derivation::ClassifyKeySum(*keySum, static_cast<int>(request->seed.size()));
    if (weakness != derivation::WeakKey::None) {
        const std::string_view reason = derivation::WeakKeyReason(weakness);
        std::fprintf(stderr,
                     "%s: warning: this key gives an easily guessed password for this site and "
                     "user: %.*s. For new accounts, choose another key.\n",
                     Program, static_cast<int>(reason.size()), reason.data());
    }
    if (launcher) {
        const bool held = launcher->launch(password, request->clearAfter);
        derivation::Wipe(password);
        if (!held) {
            std::fprintf(stderr, "%s: %s\n", Program, launcher->problem().c_str());
            return NoPassword;
        }
        std::fprintf(stderr, "Copied; the clipboard is cleared in %d s.\n", request->clearAfter);
        return Printed;
    }
    const bool written = writePassword(password);
    derivation::Wipe(password);
    return written ? Printed : NoPassword;
}

} // namespace

int main(int argc, char* argv[])
{
    derivation::HardenProcess(Program);
    const int status = run(argc, argv);
    if (std::fflush(stdout) != 0 && status == Printed) {
        return NoPassword;
    }
    return status;
}
