#include "ansi_code.h"
#include "engine.h"
#include "literal_derive.h"
#include "qt_test_helpers.h"
#include "secret.h"

#include <QTest>

#include <algorithm>
#include <iconv.h>
#include <random>
#include <span>
#include <stdexcept>

using tessivo::derivation::AnsiCode;
using tessivo::derivation::ClassifyKeySum;
using tessivo::derivation::Derive;
using tessivo::derivation::KeySum;
using tessivo::derivation::Mode;
using tessivo::derivation::WeakKey;
using tessivo::testing::LiteralDerive;
using tessivo::testing::show;

Q_DECLARE_METATYPE(Mode)
Q_DECLARE_METATYPE(WeakKey)
Q_DECLARE_METATYPE(std::u32string)

namespace {

std::u32string derive(const std::u32string& site, const std::u32string& user,
                      const std::u32string& key, int length, Mode mode)
{
    return Derive(site + user, KeySum(key), length, mode);
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void knownPasswords_data();
    void knownPasswords();
    void ansiCodes_data();
    void ansiCodes();
    void ansiCodesAgreeWithAnIndependentDecoder();
    void keySums_data();
    void keySums();
    void refusesWhatWouldHangOrOverflow();
    void matchesLiteralFormOnRandomInputs();
    void alphabetPasswordsHaveTheAskedLengthAndNeverTheLastCharacter();
    void wipeOverwritesEveryCharacterItHeld();
    void weakKeys_data();
    void weakKeys();
    void weakKeyClassesMatchWhatTheDerivationGives();
};

void TestEngine::knownPasswords_data()
{
    QTest::addColumn<std::u32string>("site");
    QTest::addColumn<std::u32string>("user");
    QTest::addColumn<std::u32string>("key");
    QTest::addColumn<int>("length");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<std::u32string>("password");

    const auto row = [](const char* name, std::u32string site, std::u32string user,
                        std::u32string key, int length, Mode mode, std::u32string password) {
        QTest::newRow(name) << site << user << key << length << mode << password;
    };
    row("google alphabet", U"google.it", U"mario", U"Ab3$", 14, Mode::Alphabet, U"rmiego0rmiego0");
    row("google number", U"google.it", U"mario", U"Ab3$", 14, Mode::Number, U"41091051011031");
    row("amazon alphabet", U"amazon", U"luigi", U"k", 8, Mode::Alphabet, U"uomglzai");
    row("amazon number", U"amazon", U"luigi", U"k", 8, Mode::Number, U"71111091");
    row("one-character seed: all zeros", U"x", U"", U"abc", 5, Mode::Alphabet, U"00000");
    row("one-character seed, number: N-2 zeros", U"x", U"", U"abc", 5, Mode::Number, U"000");
    row("one-character seed, number, N=2: empty", U"", U"x", U"abc", 2, Mode::Number, U"");
    row("key sum a multiple of L: all zeros", U"abc", U"def", U"0", 4, Mode::Alphabet, U"0000");
    row("N=1, two-digit first piece: empty", U"ab", U"", U"a", 1, Mode::Number, U"");
    row("N=1, three-digit first piece: last digit", U"xy", U"", U"a", 1, Mode::Number, U"0");
    row("Windows-1252 code in number mode", U"\u00e9x", U"", U"a", 1, Mode::Number, U"3");
    row("N=0: empty", U"google.it", U"mario", U"Ab3$", 0, Mode::Alphabet, U"");
    row("astral character is one character", U"a\U0001F600b", U"", U"\"", 2, Mode::Alphabet,
        U"a\U0001F600");
    row("astral character codes as ?", U"a\U0001F600b", U"", U"\"", 3, Mode::Number, U"630");
    row("only the first six key characters count", U"google.it", U"mario", U"Ab3$!!!", 14,
        Mode::Alphabet, derive(U"google.it", U"mario", U"Ab3$!!", 14, Mode::Alphabet));
    row("site and user split anywhere", U"google.itm", U"ario", U"Ab3$", 14, Mode::Alphabet,
        U"rmiego0rmiego0");
}

void TestEngine::knownPasswords()
{
    QFETCH(std::u32string, site);
    QFETCH(std::u32string, user);
    QFETCH(std::u32string, key);
    QFETCH(int, length);
    QFETCH(Mode, mode);
    QFETCH(std::u32string, password);

    const std::u32string derived = derive(site, user, key, length, mode);
    QCOMPARE(show(derived), show(password));
    QCOMPARE(show(LiteralDerive(site + user, key, length, mode)), show(password));
}

void TestEngine::ansiCodes_data()
{
    QTest::addColumn<char32_t>("character");
    QTest::addColumn<int>("code");
    QTest::newRow("ASCII letter") << char32_t(U'A') << 65;
    QTest::newRow("tilde") << char32_t(U'~') << 126;
    QTest::newRow("control character") << char32_t(U'\t') << 9;
    QTest::newRow("no-break space") << char32_t(0xA0) << 0xA0;
    QTest::newRow("e acute") << char32_t(U'\u00e9') << 233;
    QTest::newRow("y diaeresis") << char32_t(U'\u00ff') << 255;
    QTest::newRow("euro sign") << char32_t(U'\u20ac') << 0x80;
    QTest::newRow("low single quote") << char32_t(U'\u201a') << 0x82;
    QTest::newRow("left double quote") << char32_t(U'\u201c') << 0x93;
    QTest::newRow("em dash") << char32_t(U'\u2014') << 0x97;
    QTest::newRow("trade mark") << char32_t(U'\u2122') << 0x99;
    QTest::newRow("Y diaeresis") << char32_t(U'\u0178') << 0x9F;
    QTest::newRow("undefined byte 0x81 round-trips") << char32_t(0x81) << 0x81;
    QTest::newRow("C1 control with a defined byte") << char32_t(0x80) << 63;
    QTest::newRow("A macron, not in the set") << char32_t(U'\u0100') << 63;
    QTest::newRow("Greek alpha") << char32_t(U'\u03b1') << 63;
    QTest::newRow("emoji") << char32_t(U'\U0001F600') << 63;
}

void TestEngine::ansiCodes()
{
    QFETCH(char32_t, character);
    QFETCH(int, code);
    QCOMPARE(AnsiCode(character), code);
}

// glibc's own Windows-1252 table is the referee: a wrong entry in ours cannot hide behind a
// reference that reads the same table.
void TestEngine::ansiCodesAgreeWithAnIndependentDecoder()
{
    iconv_t toAnsi = iconv_open("WINDOWS-1252", "UTF-32LE");
    QVERIFY2(toAnsi != reinterpret_cast<iconv_t>(-1), "glibc has no WINDOWS-1252 converter");
    const auto glibcCode = [toAnsi](char32_t c) {
        const unsigned char in[4] = {static_cast<unsigned char>(c & 0xFF),
                                     static_cast<unsigned char>((c >> 8) & 0xFF),
                                     static_cast<unsigned char>((c >> 16) & 0xFF),
                                     static_cast<unsigned char>((c >> 24) & 0xFF)};
        unsigned char out[8] = {};
        char* inPointer = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
        char* outPointer = reinterpret_cast<char*>(out);
        std::size_t inLeft = sizeof in;
        std::size_t outLeft = sizeof out;
        iconv(toAnsi, nullptr, nullptr, nullptr, nullptr);
        const std::size_t converted = iconv(toAnsi, &inPointer, &inLeft, &outPointer, &outLeft);
        const bool oneByte = converted != static_cast<std::size_t>(-1) && sizeof out - outLeft == 1;
        return oneByte ? int(out[0]) : -1; // -1: not in the set
    };

    // The five bytes the set leaves undefined round-trip as the C1 controls of the same
    // number, as Windows' own converter does; glibc refuses them.
    const std::u32string undefinedBytes = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    std::u32string points(0x10000, 0);
    for (char32_t c = 0; c < 0x10000; ++c) {
        points[c] = c;
    }
    points += {0x10000, 0x1F600, 0x10FFFF};
    int compared = 0;
    for (const char32_t c : points) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            QCOMPARE(AnsiCode(c), 63); // half a surrogate pair is no character at all
            continue;
        }
        const int reference = glibcCode(c);
        const bool undefined = undefinedBytes.find(c) != std::u32string::npos;
        const int expected = undefined ? int(c) : reference < 0 ? '?' : reference;
        if (AnsiCode(c) != expected) {
            QFAIL(qPrintable(QStringLiteral("U+%1: ours %2, glibc %3")
                                 .arg(quint32(c), 4, 16, QLatin1Char('0'))
                                 .arg(AnsiCode(c))
                                 .arg(reference)));
        }
        QVERIFY2(!undefined || reference < 0, "glibc now defines one of the undefined bytes");
        ++compared;
    }
    iconv_close(toAnsi);
    QVERIFY(compared > 60000);
}

void TestEngine::keySums_data()
{
    QTest::addColumn<std::u32string>("key");
    QTest::addColumn<int>("sum");
    QTest::newRow("empty") << std::u32string() << 0;
    QTest::newRow("one character") << std::u32string(U"k") << 107;
    QTest::newRow("four characters") << std::u32string(U"Ab3$") << 250;
    QTest::newRow("largest typable key") << std::u32string(U"}}}}}}") << 750;
    QTest::newRow("seventh character ignored") << std::u32string(U"}}}}}}}") << 750;
    QTest::newRow("Windows-1252 codes") << std::u32string(U"\u20ac\u00ff") << 128 + 255;
}

void TestEngine::keySums()
{
    QFETCH(std::u32string, key);
    QFETCH(int, sum);
    QCOMPARE(KeySum(key), sum);
}

void TestEngine::refusesWhatWouldHangOrOverflow()
{
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Derive(U"", 100, 8, Mode::Alphabet));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Derive(U"abc", 100, 15, Mode::Alphabet));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Derive(U"abc", 100, -1, Mode::Number));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Derive(U"abc", -1, 8, Mode::Number));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Derive(U"abc", 1531, 8, Mode::Number));
    QCOMPARE(show(Derive(U"abc", 1530, 14, Mode::Alphabet)).size(), 14);
}

namespace {

// Site and user characters of every kind the boxes can hold.
char32_t randomCharacter(std::mt19937& random)
{
    static const std::u32string special = U"\u20ac\u0160\u2122\u00e9\u00ff\u0100\u03b1\U0001F600 ~";
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
    case 0:
        return special[std::uniform_int_distribution<std::size_t>(0, special.size() - 1)(random)];
    case 1:
        return std::uniform_int_distribution<char32_t>(0xA0, 0x2FFF)(random);
    default:
        return std::uniform_int_distribution<char32_t>(33, 125)(random);
    }
}

std::u32string randomText(std::mt19937& random, std::size_t minimum, std::size_t maximum,
                          bool keyCharacters)
{
    std::u32string text(std::uniform_int_distribution<std::size_t>(minimum, maximum)(random), U' ');
    for (char32_t& c : text) {
        c = keyCharacters ? std::uniform_int_distribution<char32_t>(33, 125)(random)
                          : randomCharacter(random);
    }
    return text;
}

} // namespace

void TestEngine::matchesLiteralFormOnRandomInputs()
{
    std::mt19937 random(20040816);
    for (int round = 0; round < 20000; ++round) {
        const std::u32string seed = randomText(random, 1, 38, false);
        const std::u32string key = randomText(random, 0, 6, true);
        const int length = std::uniform_int_distribution<int>(0, 14)(random);
        const Mode mode = round % 2 == 0 ? Mode::Alphabet : Mode::Number;
        const std::u32string fast = Derive(seed, KeySum(key), length, mode);
        const std::u32string literal = LiteralDerive(seed, key, length, mode);
        if (fast != literal) {
            QFAIL(qPrintable(QStringLiteral("seed \"%1\" key \"%2\" length %3 mode %4: %5 != %6")
                                 .arg(show(seed), show(key))
                                 .arg(length)
                                 .arg(static_cast<int>(mode))
                                 .arg(show(fast), show(literal))));
        }
    }
}

void TestEngine::alphabetPasswordsHaveTheAskedLengthAndNeverTheLastCharacter()
{
    std::mt19937 random(33);
    for (int round = 0; round < 2000; ++round) {
        std::u32string seed = randomText(random, 0, 37, true);
        std::erase(seed, U'#');
        seed.push_back(U'#');
        const int length = std::uniform_int_distribution<int>(0, 14)(random);
        const std::u32string password =
            Derive(seed, KeySum(randomText(random, 1, 6, true)), length, Mode::Alphabet);
        QCOMPARE(password.size(), static_cast<std::size_t>(length));
        QVERIFY2(password.find(U'#') == std::u32string::npos, qPrintable(show(seed)));
    }
}

namespace {

// Secrets as the window keeps them (u32string) and as the command line reads and writes them.
template <typename String> void checkWipedInPlace()
{
    String secret(40, 'k'); // longer than any small-string buffer
    secret.resize(3);       // the tail still holds key characters
    const std::size_t capacity = secret.capacity();
    const auto* buffer = secret.data();
    tessivo::derivation::Wipe(secret);
    QVERIFY(secret.empty());
    QCOMPARE(secret.data(), buffer); // wiped in place, not freed elsewhere unwiped
    for (std::size_t i = 0; i < capacity; ++i) {
        QVERIFY2(buffer[i] == 0, qPrintable(QStringLiteral("character %1 survived").arg(i)));
    }
}

} // namespace

void TestEngine::wipeOverwritesEveryCharacterItHeld()
{
    checkWipedInPlace<std::u32string>();
    checkWipedInPlace<std::string>();
    char line[] = "Ab3$\r\n";
    tessivo::derivation::Wipe(std::span<char>(line));
    QVERIFY(std::ranges::all_of(line, [](char c) { return c == 0; }));
}

void TestEngine::weakKeys_data()
{
    QTest::addColumn<std::u32string>("seed");
    QTest::addColumn<std::u32string>("key");
    QTest::addColumn<WeakKey>("weakness");
    QTest::addColumn<std::u32string>("password"); // letters, length 14: what users already have

    const auto row = [](const char* name, std::u32string seed, std::u32string key, WeakKey weak,
                        std::u32string password) {
        QTest::newRow(name) << seed << key << weak << password;
    };
    // google.it + mario: L = 14.
    row("ordinary key", U"google.itmario", U"Ab3$", WeakKey::None, U"rmiego0rmiego0");
    row("S mod L = 0: zeros", U"google.itmario", U"abc", WeakKey::OnlyZeros, U"00000000000000");
    row("S mod L = 1: names in clear", U"google.itmario", U"123456", WeakKey::NamesInOrder,
        U"google.itmari0");
    row("S mod L = L-1: names reversed", U"google.itmario", U"12345&", WeakKey::NamesReversed,
        U"iramti.elgoog0");
    row("S = 0 (no key): zeros", U"google.itmario", U"", WeakKey::OnlyZeros, U"00000000000000");
    row("S = 1530, L = 3: 1530 mod 3 = 0", U"abc", U"\u00ff\u00ff\u00ff\u00ff\u00ff\u00ff",
        WeakKey::OnlyZeros, U"00000000000000");
    row("L = 1: every key gives zeros", U"x", U"Ab3$", WeakKey::OnlyZeros, U"00000000000000");
    row("L = 2, odd sum: the first character and zeros", U"xy", U"a", WeakKey::NamesInOrder,
        U"x0x0x0x0x0x0x0");
    row("L = 2, even sum: zeros", U"xy", U"b", WeakKey::OnlyZeros, U"00000000000000");
    row("L = 3, S mod 3 = 2: reversed", U"abc", U"b", WeakKey::NamesReversed, U"ba0ba0ba0ba0ba");
    row("L = 4, S mod 4 = 2: not flagged", U"abcd", U"b", WeakKey::None, U"b0b0b0b0b0b0b0");
}

void TestEngine::weakKeys()
{
    QFETCH(std::u32string, seed);
    QFETCH(std::u32string, key);
    QFETCH(WeakKey, weakness);
    QFETCH(std::u32string, password);

    QCOMPARE(ClassifyKeySum(KeySum(key), static_cast<int>(seed.size())), weakness);
    QCOMPARE(tessivo::derivation::WeakKeyReason(weakness).empty(), weakness == WeakKey::None);
    // Telling the user changes nothing: the passwords are the ones people already use.
    QCOMPARE(show(Derive(seed, KeySum(key), 14, Mode::Alphabet)), show(password));
    QCOMPARE(show(Derive(seed, KeySum(key), 14, Mode::Number)),
             show(LiteralDerive(seed, key, 14, Mode::Number)));
}

void TestEngine::weakKeyClassesMatchWhatTheDerivationGives()
{
    // A seed of distinct characters shows where every piece came from. Walking it in order
    // and backwards, with the zero piece where the walk wraps:
    const std::u32string letters = U"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijkl";
    for (int seedLength = 1; seedLength <= 38; ++seedLength) {
        const std::u32string seed = letters.substr(0, static_cast<std::size_t>(seedLength));
        std::u32string forward;
        std::u32string backward;
        while (forward.size() < 14) {
            forward += seed.substr(0, seed.size() - 1) + U'0';
            backward += std::u32string(seed.rbegin() + 1, seed.rend()) + U'0';
        }
        forward.resize(14);
        backward.resize(14);
        for (int keySum = 0; keySum <= tessivo::derivation::MaxKeySum; ++keySum) {
            const std::u32string password = Derive(seed, keySum, 14, Mode::Alphabet);
            WeakKey seen = WeakKey::None;
            if (password == std::u32string(14, U'0')) {
                seen = WeakKey::OnlyZeros;
            } else if (password == forward) {
                seen = WeakKey::NamesInOrder;
            } else if (password == backward) {
                seen = WeakKey::NamesReversed;
            }
            if (ClassifyKeySum(keySum, seedLength) != seen) {
                QFAIL(qPrintable(QStringLiteral("L %1, S %2: password %3 classified %4")
                                     .arg(seedLength)
                                     .arg(keySum)
                                     .arg(show(password))
                                     .arg(static_cast<int>(ClassifyKeySum(keySum, seedLength)))));
            }
        }
    }
}

QTEST_APPLESS_MAIN(TestEngine)
#include "tst_engine.moc"
