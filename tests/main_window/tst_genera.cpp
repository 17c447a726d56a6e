#include "engine.h"
#include "genera.h"
#include "memory_form_runtime.h"
#include "qt_test_helpers.h"
#include "typed_input.h"

#include <QTest>

using tessivo::derivation::ParseLength;
using tessivo::main_window::Form1Variables;
using tessivo::main_window::Genera;
using tessivo::main_window::GeneraOutcome;
using tessivo::testing::MemoryFormRuntime;
using tessivo::testing::show;

Q_DECLARE_METATYPE(std::u32string)
Q_DECLARE_METATYPE(GeneraOutcome)

namespace {

// The main form as a user leaves it before pressing ZEPH.
struct Form {
    MemoryFormRuntime runtime;
    Form1Variables vars;

    Form(std::u32string site, std::u32string user, std::u32string key, std::u32string length)
    {
        runtime.textBoxes["TxtNomesito"] = std::move(site);
        runtime.textBoxes["TxtUsername"] = std::move(user);
        runtime.textBoxes["TxtKey"] = key;
        runtime.comboBoxes["Cobnumerokey"] = std::move(length);
        vars.K = std::move(key);
    }

    GeneraOutcome generate() { return Genera(runtime, runtime, vars); }
    std::u32string box(const char* name) const
    {
        return runtime.text(tessivo::forms::TextBox{name});
    }
};

} // namespace

class TestGenera : public QObject {
    Q_OBJECT

private slots:
    void showsAndCopiesThePassword();
    void hiddenShowsOkButCopiesThePassword();
    void sameInputsSamePassword();
    void refusals_data();
    void refusals();
    void emptyKeyBoxBecomesTheKeyZero();
    void bufferShorterThanBoxCountsAsItsContent();
    void lengthSpellings_data();
    void lengthSpellings();
};

void TestGenera::showsAndCopiesThePassword()
{
    Form form(U"google.it", U"mario", U"Ab3$", U"14");
    form.runtime.otherProgramCopies(U"something the user had copied");
    form.runtime.textBoxes["LabPassword"] = U"typed over by the user";

    QCOMPARE(form.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(form.box("LabPassword")), QStringLiteral("rmiego0rmiego0"));
    QCOMPARE(show(form.vars.Pas), QStringLiteral("rmiego0rmiego0"));
    QCOMPARE(show(form.runtime.clipboard.text), QStringLiteral("rmiego0rmiego0"));
    QVERIFY2(form.runtime.clipboard.secret, "the password must be marked secret for histories");
    QVERIFY(form.runtime.messages.empty());
}

void TestGenera::hiddenShowsOkButCopiesThePassword()
{
    Form form(U"amazon", U"luigi", U"k", U"8");
    form.vars.H = 1;
    form.vars.Z = 1;
    QCOMPARE(form.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(form.box("LabPassword")), QStringLiteral("OK"));
    QCOMPARE(show(form.runtime.clipboard.text), QStringLiteral("71111091"));
}

void TestGenera::sameInputsSamePassword()
{
    Form first(U"amazon", U"luigi", U"k", U"8");
    QCOMPARE(first.generate(), GeneraOutcome::Generated);
    const std::u32string once = first.runtime.clipboard.text;
    QCOMPARE(first.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(first.runtime.clipboard.text), show(once));

    Form split(U"amazonl", U"uigi", U"k", U"8");
    QCOMPARE(split.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(split.runtime.clipboard.text), show(once));
}

void TestGenera::refusals_data()
{
    QTest::addColumn<std::u32string>("site");
    QTest::addColumn<std::u32string>("user");
    QTest::addColumn<std::u32string>("length");
    QTest::addColumn<short>("mode");
    QTest::addColumn<GeneraOutcome>("outcome");
    QTest::addColumn<std::u32string>("key"); // the key box and `K`, which must stay as they are

    QTest::newRow("site and user empty")
        << std::u32string() << std::u32string() << std::u32string(U"8") << short(0)
        << GeneraOutcome::NoSeed << std::u32string(U"a");
    // Enter in the still empty key box before typing a site: no "0" may creep into the key.
    QTest::newRow("site and user empty, key box empty")
        << std::u32string() << std::u32string() << std::u32string(U"8") << short(0)
        << GeneraOutcome::NoSeed << std::u32string();
    QTest::newRow("length refused, key box empty")
        << std::u32string(U"a") << std::u32string(U"b") << std::u32string(U"x") << short(0)
        << GeneraOutcome::BadLength << std::u32string();
    QTest::newRow("no digits, key box empty")
        << std::u32string(U"x") << std::u32string() << std::u32string(U"2") << short(1)
        << GeneraOutcome::NoNumberDigits << std::u32string();
    QTest::newRow("length 0") << std::u32string(U"a") << std::u32string(U"b")
                              << std::u32string(U"0") << short(0) << GeneraOutcome::BadLength
                              << std::u32string(U"a");
    QTest::newRow("length 15") << std::u32string(U"a") << std::u32string(U"b")
                               << std::u32string(U"15") << short(0) << GeneraOutcome::BadLength
                               << std::u32string(U"a");
    QTest::newRow("length not a number")
        << std::u32string(U"a") << std::u32string(U"b") << std::u32string(U"eight") << short(0)
        << GeneraOutcome::BadLength << std::u32string(U"a");
    QTest::newRow("length empty") << std::u32string(U"a") << std::u32string(U"b")
                                  << std::u32string() << short(0) << GeneraOutcome::BadLength
                                  << std::u32string(U"a");
    QTest::newRow("number mode, one-character seed, N=2")
        << std::u32string(U"x") << std::u32string() << std::u32string(U"2") << short(1)
        << GeneraOutcome::NoNumberDigits << std::u32string(U"a");
    QTest::newRow("number mode, N=1, two-digit piece")
        << std::u32string(U"ab") << std::u32string() << std::u32string(U"1") << short(1)
        << GeneraOutcome::NoNumberDigits << std::u32string(U"a");
}

void TestGenera::refusals()
{
    QFETCH(std::u32string, site);
    QFETCH(std::u32string, user);
    QFETCH(std::u32string, length);
    QFETCH(short, mode);
    QFETCH(GeneraOutcome, outcome);
    QFETCH(std::u32string, key);

    Form form(site, user, key, length);
    form.vars.Z = mode;
    form.vars.Pas = U"earlier";
    form.runtime.setText(U"earlier");
    form.runtime.textBoxes["LabPassword"] = U"earlier";

    QCOMPARE(form.generate(), outcome);
    QCOMPARE(form.runtime.messages.size(), std::size_t(1));
    QVERIFY2(form.box("LabPassword").empty(), "a refused generation shows no password");
    QCOMPARE(show(form.runtime.clipboard.text), QStringLiteral("earlier"));
    QCOMPARE(show(form.vars.Pas), QStringLiteral("earlier"));
    QCOMPARE(show(form.box("TxtKey")), show(key));
    QCOMPARE(show(form.vars.K), show(key));
}

void TestGenera::emptyKeyBoxBecomesTheKeyZero()
{
    Form form(U"google.it", U"mario", U"", U"14");
    form.vars.K = U"leftover"; // whatever the buffer held, the key is now "0"
    QCOMPARE(form.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(form.box("TxtKey")), QStringLiteral("0"));
    QCOMPARE(show(form.vars.K), QStringLiteral("0"));

    Form zero(U"google.it", U"mario", U"0", U"14");
    QCOMPARE(zero.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(form.vars.Pas), show(zero.vars.Pas));
}

void TestGenera::bufferShorterThanBoxCountsAsItsContent()
{
    Form form(U"google.it", U"mario", U"Ab3$", U"14");
    form.vars.K = U"Ab";
    QCOMPARE(form.generate(), GeneraOutcome::Generated);

    Form shortKey(U"google.it", U"mario", U"Ab", U"14");
    QCOMPARE(shortKey.generate(), GeneraOutcome::Generated);
    QCOMPARE(show(form.vars.Pas), show(shortKey.vars.Pas));
}

void TestGenera::lengthSpellings_data()
{
    QTest::addColumn<std::u32string>("text");
    QTest::addColumn<int>("length"); // 0: refused

    QTest::newRow("list item") << std::u32string(U"8") << 8;
    QTest::newRow("largest") << std::u32string(U"14") << 14;
    QTest::newRow("surrounding spaces") << std::u32string(U"  5 ") << 5;
    QTest::newRow("tab") << std::u32string(U"\t7") << 7;
    QTest::newRow("leading zeros") << std::u32string(U"007") << 7;
    QTest::newRow("zero") << std::u32string(U"0") << 0;
    QTest::newRow("fifteen") << std::u32string(U"15") << 0;
    QTest::newRow("sign") << std::u32string(U"+5") << 0;
    QTest::newRow("negative") << std::u32string(U"-5") << 0;
    QTest::newRow("fraction") << std::u32string(U"5.5") << 0;
    QTest::newRow("inner space") << std::u32string(U"1 2") << 0;
    QTest::newRow("only spaces") << std::u32string(U"   ") << 0;
    QTest::newRow("huge") << std::u32string(U"99999999999999999999") << 0;
    QTest::newRow("Arabic-Indic digit") << std::u32string(U"\u0665") << 0;
}

void TestGenera::lengthSpellings()
{
    QFETCH(std::u32string, text);
    QFETCH(int, length);
    QCOMPARE(ParseLength(text).value_or(0), length);
}

QTEST_APPLESS_MAIN(TestGenera)
#include "tst_genera.moc"
