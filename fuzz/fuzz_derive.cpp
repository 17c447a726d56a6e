// Fuzzes KeySum and Derive against the literal reference, and Derive's refusals.
//
// Input format (missing bytes read as 0):
//   byte 0       control
//                  bits 0-1  how key, site and user bytes become code points (fuzz_input.h):
//                            0 UTF-8, ill-formed parts as U+FFFD; 1 raw UTF-8 patterns
//                            (surrogates, overlongs, up to 0x7FFFFFFF, stray bytes as their
//                            value); 2 raw 32-bit little-endian values; 3 raw UTF-16LE
//                  bit 2     set: the length is the int32 below as is (negative, huge...);
//                            clear: that int32 modulo 16, so 0..15
//                  bit 3     set: the key sum is the int32 below as is; clear: KeySum(key)
//   bytes 1-4    length, int32 little-endian
//   bytes 5-8    key sum, int32 little-endian (only with bit 3)
//   byte 9       number of key bytes
//   bytes 10-11  number of site bytes, uint16 little-endian
//   then         the key bytes, the site bytes, and every remaining byte is the user text
// The seed is site followed by user, cut to its first 1000 code points. Both modes run on
// every input.
//
// Inside Derive's contract (non-empty seed, length 0..14, key sum 0..1530) the result must
// equal the literal reference and have the promised shape; outside it Derive must throw
// std::invalid_argument. Any other outcome aborts.

#include "engine.h"
#include "fuzz_input.h"
#include "literal_derive.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

using tessivo::derivation::Derive;
using tessivo::derivation::KeySum;
using tessivo::derivation::MaxKeySum;
using tessivo::derivation::MaxPasswordLength;
using tessivo::derivation::Mode;
using namespace tessivo::fuzzing;

// Keeps a single run short: the reference reduces by repeated subtraction.
constexpr std::size_t MaxSeedLength = 1000;

struct Case {
    std::u32string seed;
    std::u32string key;
    int keySum = 0;
    bool keySumFromKey = true;
    int length = 0;
    Mode mode = Mode::Alphabet;
};

[[noreturn]] void failCase(const Case& c, const char* what)
{
    dump("seed", c.seed);
    dump("key", c.key);
    std::fprintf(stderr, "key sum %d (%s), length %d, mode %s\n", c.keySum,
                 c.keySumFromKey ? "from the key" : "given", c.length,
                 c.mode == Mode::Alphabet ? "Alphabet" : "Number");
    fail(what);
}

void checkRefused(const Case& c)
{
    try {
        const std::u32string result = Derive(c.seed, c.keySum, c.length, c.mode);
        dump("result", result);
        failCase(c, "Derive returned for inputs outside its contract instead of throwing");
    } catch (const std::invalid_argument&) {
        // The promised refusal.
    } catch (const std::exception& e) {
        std::fprintf(stderr, "what(): %s\n", e.what());
        failCase(c, "Derive threw something other than std::invalid_argument");
    }
}

void checkDerived(const Case& c)
{
    std::u32string result;
    try {
        result = Derive(c.seed, c.keySum, c.length, c.mode);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "what(): %s\n", e.what());
        failCase(c, "Derive threw for inputs inside its contract");
    }

    const auto length = static_cast<std::size_t>(c.length);
    if (c.mode == Mode::Alphabet) {
        if (result.size() != length) {
            dump("result", result);
            failCase(c, "Alphabet mode did not give exactly `length` characters");
        }
    } else {
        if (result.size() > length) {
            dump("result", result);
            failCase(c, "Number mode gave more than `length` characters");
        }
        for (const char32_t ch : result) {
            if (ch < U'0' || ch > U'9') {
                dump("result", result);
                failCase(c, "Number mode gave something other than ASCII digits");
            }
        }
    }

    // The reference takes the key itself, so it can only judge sums that came from a key.
    if (c.keySumFromKey) {
        const std::u32string expected =
            tessivo::testing::LiteralDerive(c.seed, c.key, c.length, c.mode);
        if (result != expected) {
            dump("result", result);
            dump("expected", expected);
            failCase(c, "Derive differs from the literal reference");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    const Encoding encoding = encodingFrom(control);
    const bool rawLength = (control & 0x04U) != 0;
    const bool givenKeySum = (control & 0x08U) != 0;
    const std::int32_t lengthField = in.i32();
    const std::int32_t keySumField = in.i32();
    const std::size_t keyBytes = in.byte();
    const std::size_t siteBytes = in.u16();

    Case c;
    c.key = decode(in.bytes(keyBytes), encoding);
    c.seed = decode(in.bytes(siteBytes), encoding);
    c.seed += decode(in.rest(), encoding);
    if (c.seed.size() > MaxSeedLength) {
        c.seed.resize(MaxSeedLength);
    }
    c.length =
        rawLength ? lengthField : static_cast<int>(static_cast<std::uint32_t>(lengthField) % 16U);

    const int sumOfKey = KeySum(c.key);
    if (sumOfKey < 0 || sumOfKey > MaxKeySum) {
        std::fprintf(stderr, "KeySum gave %d\n", sumOfKey);
        failCase(c, "KeySum outside 0..1530");
    }
    c.keySumFromKey = !givenKeySum;
    c.keySum = givenKeySum ? keySumField : sumOfKey;

    const bool inContract = !c.seed.empty() && c.length >= 0 && c.length <= MaxPasswordLength &&
                            c.keySum >= 0 && c.keySum <= MaxKeySum;
    for (const Mode mode : {Mode::Alphabet, Mode::Number}) {
        c.mode = mode;
        if (inContract) {
            checkDerived(c);
        } else {
            checkRefused(c);
        }
    }
    return 0;
}
