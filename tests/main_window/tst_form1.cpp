#include "form1.h"
#include "memory_form_runtime.h"
#include "password_clipboard.h"
#include "qt_test_helpers.h"

#include <QRegularExpression>
#include <QTest>

using tessivo::clipboard::Board;
using tessivo::clipboard::PasswordClipboard;
using tessivo::main_window::Form1;
using tessivo::testing::MemoryFormRuntime;
using tessivo::testing::show;

using namespace Qt::Literals::StringLiterals;

namespace {

// Form1's logic on an in-memory runtime whose key box behaves like the real one: it reports
// every change of its content.
struct LoadedForm {
    MemoryFormRuntime runtime;
    Form1 form{runtime, runtime};

    LoadedForm()
    {
        runtime.onTextChanged([this](std::string_view box) {
            if (box == "TxtKey") {
                form.TxtKey_Change();
            }
        });
        runtime.comboBoxes["Cobnumerokey"] = U"1";
        form.Form_Load();
    }

    // Types like a user: each character meets the key press handler, then the box.
    void typeKey(std::u32string_view typed)
    {
        for (char32_t c : typed) {
            char32_t code = c;
            form.TxtKey_KeyPress(code);
            std::u32string box = runtime.textBoxes["TxtKey"];
            if (code != 0 && code != 13 && box.size() < 6) {
                runtime.setText(tessivo::main_window::TxtKey, box + code);
            }
        }
    }

    void fill(std::u32string site, std::u32string user, std::u32string key, std::u32string length)
    {
        runtime.setText(tessivo::main_window::TxtNomesito, site);
        runtime.setText(tessivo::main_window::TxtUsername, user);
        runtime.comboBoxes["Cobnumerokey"] = std::move(length);
        typeKey(key);
    }

    QString marks() const
    {
        return QStringLiteral("%1%2 Z=%3")
            .arg(QChar(runtime.checked(tessivo::main_window::Alphabet) ? u'A' : u'-'))
            .arg(QChar(runtime.checked(tessivo::main_window::Number) ? u'N' : u'-'))
            .arg(form.variables().Z);
    }
};

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void loadSetsTheStartingOptions();
    void modeSwitch_data();
    void modeSwitch();
    void hidingFlipsAndTakesEffectAtTheNextGeneration();
    void keyPress_data();
    void keyPress();
    void enterGeneratesOnce();
    void keyFollowsEveryEditOfTheBox();
    void cancellaClearsFieldsAndKeyOnly();
    void waysOut_data();
    void waysOut();
    void unloadWipesTheSecrets();
    void weakKeyStillGivesItsPasswordAndIsToldOnce();
    void helpAndInfo();
    void clipboardOnlyRules_data();
    void clipboardOnlyRules();
};

void TestForm1::loadSetsTheStartingOptions()
{
    LoadedForm loaded;
    QCOMPARE(loaded.marks(), QStringLiteral("A- Z=0"));
    QVERIFY(!loaded.runtime.checked(tessivo::main_window::Hideing));
    QCOMPARE(loaded.form.variables().H, 0);
}

void TestForm1::modeSwitch_data()
{
    QTest::addColumn<QString>("clicks"); // A: Alphabet, N: Number
    QTest::addColumn<QString>("marks");
    QTest::newRow("Alphabet right after start switches to Number") << u"A"_s << u"-N Z=1"_s;
    QTest::newRow("Alphabet twice switches back") << u"AA"_s << u"A- Z=0"_s;
    QTest::newRow("Number once") << u"N"_s << u"-N Z=1"_s;
    QTest::newRow("Number twice ends in Alphabet") << u"NN"_s << u"A- Z=0"_s;
    QTest::newRow("Number then Alphabet") << u"NA"_s << u"A- Z=0"_s;
    QTest::newRow("long mixed run") << u"ANNAANA"_s << u"-N Z=1"_s;
}

void TestForm1::modeSwitch()
{
    QFETCH(QString, clicks);
    QFETCH(QString, marks);
    LoadedForm loaded;
    for (const QChar click : clicks) {
        click == u'A' ? loaded.form.Alphabet_Click() : loaded.form.Number_Click();
    }
    QCOMPARE(loaded.marks(), marks);

    // The mode that carries the mark is the one the next generation uses.
    loaded.fill(U"amazon", U"luigi", U"k", U"8");
    loaded.form.Genera();
    QCOMPARE(show(loaded.runtime.clipboard.text),
             marks.startsWith(u'A') ? QStringLiteral("uomglzai") : QStringLiteral("71111091"));
}

void TestForm1::hidingFlipsAndTakesEffectAtTheNextGeneration()
{
    LoadedForm loaded;
    loaded.fill(U"amazon", U"luigi", U"k", U"8");
    loaded.form.Genera();
    loaded.form.Hideing_Click();
    QVERIFY(loaded.runtime.checked(tessivo::main_window::Hideing));
    QCOMPARE(loaded.form.variables().H, 1);
    QCOMPARE(show(loaded.runtime.textBoxes["LabPassword"]), QStringLiteral("uomglzai"));

    loaded.form.Genera();
    QCOMPARE(show(loaded.runtime.textBoxes["LabPassword"]), QStringLiteral("OK"));
    QCOMPARE(show(loaded.runtime.clipboard.text), QStringLiteral("uomglzai"));

    loaded.form.Hideing_Click();
    QVERIFY(!loaded.runtime.checked(tessivo::main_window::Hideing));
    QCOMPARE(loaded.form.variables().H, 0);
}

void TestForm1::keyPress_data()
{
    QTest::addColumn<char32_t>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("! (33)") << char32_t(U'!') << true;
    QTest::newRow("} (125)") << char32_t(U'}') << true;
    QTest::newRow("letter") << char32_t(U'k') << true;
    QTest::newRow("space (32)") << char32_t(U' ') << false;
    QTest::newRow("~ (126)") << char32_t(U'~') << false;
    QTest::newRow("e acute") << char32_t(U'\u00e9') << false;
    QTest::newRow("emoji") << char32_t(U'\U0001F600') << false;
}

void TestForm1::keyPress()
{
    QFETCH(char32_t, typed);
    QFETCH(bool, accepted);
    LoadedForm loaded;
    char32_t code = typed;
    loaded.form.TxtKey_KeyPress(code);
    QCOMPARE(code, accepted ? typed : char32_t(0));
    QCOMPARE(loaded.runtime.beeps, accepted ? 0 : 1); // a refused character is not silent
    QVERIFY(loaded.runtime.messages.empty());
}

void TestForm1::enterGeneratesOnce()
{
    LoadedForm loaded;
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.runtime.otherProgramCopies(U"before");
    char32_t enter = 13;
    loaded.form.TxtKey_KeyPress(enter);
    QCOMPARE(enter, char32_t(13)); // handed back to the box unchanged
    QCOMPARE(show(loaded.runtime.clipboard.text), QStringLiteral("rmiego0rmiego0"));
    QCOMPARE(show(loaded.runtime.textBoxes["TxtKey"]), QStringLiteral("Ab3$"));
    QCOMPARE(show(loaded.form.variables().K), QStringLiteral("Ab3$"));
}

void TestForm1::keyFollowsEveryEditOfTheBox()
{
    LoadedForm loaded;
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.typeKey(U"xyz"); // the seventh is refused by the box
    QCOMPARE(show(loaded.form.variables().K), QStringLiteral("Ab3$xy"));

    // Corrections: what the stars stand for is the key, not what was typed first.
    loaded.runtime.setText(tessivo::main_window::TxtKey, U"Ab3");
    loaded.typeKey(U"$");
    QCOMPARE(show(loaded.form.variables().K), QStringLiteral("Ab3$"));
    loaded.form.Genera();
    QCOMPARE(show(loaded.runtime.clipboard.text), QStringLiteral("rmiego0rmiego0"));
}

void TestForm1::cancellaClearsFieldsAndKeyOnly()
{
    LoadedForm loaded;
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.form.Number_Click();
    loaded.form.Hideing_Click();
    loaded.form.Genera();
    const std::u32string password = loaded.runtime.clipboard.text;
    loaded.runtime.focus = "TxtKey";

    loaded.form.Cancella();
    for (const char* box : {"TxtNomesito", "TxtUsername", "TxtKey", "LabPassword"}) {
        QVERIFY2(loaded.runtime.textBoxes[box].empty(), box);
    }
    QVERIFY(loaded.form.variables().K.empty());
    QCOMPARE(QString::fromStdString(loaded.runtime.focus), QStringLiteral("TxtNomesito"));
    QCOMPARE(show(loaded.runtime.comboBoxes["Cobnumerokey"]), QStringLiteral("14"));
    QCOMPARE(loaded.marks(), QStringLiteral("-N Z=1"));
    QCOMPARE(loaded.form.variables().H, 1);
    QCOMPARE(show(loaded.runtime.clipboard.text), show(password));

    // A key typed after clearing is a new key from its first character.
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.form.Alphabet_Click();
    loaded.form.Genera();
    QCOMPARE(show(loaded.runtime.clipboard.text), QStringLiteral("rmiego0rmiego0"));
}

void TestForm1::waysOut_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("before");         // the clipboard before the first generation
    QTest::addColumn<QString>("manager");        // "takes over", "refills" an emptied clipboard
    QTest::addColumn<QString>("since");          // what happens after the generation
    QTest::addColumn<QString>("clipboardAfter"); // "" means emptied

    const QString password = u"rmiego0rmiego0"_s;
    QTest::newRow("END empties the clipboard") << u"END"_s << u""_s << u""_s << u""_s << u""_s;
    QTest::newRow("close box empties the clipboard")
        << u"close"_s << u""_s << u""_s << u""_s << u""_s;
    QTest::newRow("Esc keeps the password") << u"Esc"_s << u""_s << u""_s << u""_s << password;
    QTest::newRow("END keeps what another program copied")
        << u"END"_s << u"mine"_s << u""_s << u"theirs"_s << u"theirs"_s;
    QTest::newRow("close box keeps what another program copied")
        << u"close"_s << u""_s << u"refills"_s << u"theirs"_s << u"theirs"_s;
    QTest::newRow("END empties a clipboard holding part of the password")
        << u"END"_s << u""_s << u""_s << u"part"_s << u""_s;
    QTest::newRow("END keeps another program's text that is part of the password")
        << u"END"_s << u""_s << u""_s << u"rmie"_s << u"rmie"_s;
    QTest::newRow("END puts back what was there before")
        << u"END"_s << u"mine"_s << u""_s << u""_s << u"mine"_s;
    QTest::newRow("close box puts back what was there before the first of two passwords")
        << u"close"_s << u"mine"_s << u"refills"_s << u"again"_s << u"mine"_s;
    QTest::newRow("END puts back a text from before that is a part of the password, as it was")
        << u"END"_s << u"rmie"_s << u"refills"_s << u""_s << u"rmie"_s;
    QTest::newRow("END takes the password back from a manager that took it over")
        << u"END"_s << u"mine"_s << u"takes over"_s << u""_s << u"mine"_s;
    QTest::newRow("END leaves a notice to a manager that refills the emptied clipboard")
        << u"END"_s << u""_s << u"refills"_s << u""_s << u"(password removed)"_s;
    QTest::newRow("close box never puts back the same password from an earlier run")
        << u"close"_s << password << u"refills"_s << u""_s << u"(password removed)"_s;
    QTest::newRow("close box leaves the notice while the window is there to a refill at once")
        << u"close"_s << u""_s << u"refills at once"_s << u""_s << u"(password removed)"_s;
}

void TestForm1::waysOut()
{
    QFETCH(QString, way);
    QFETCH(QString, before);
    QFETCH(QString, manager);
    QFETCH(QString, since);
    QFETCH(QString, clipboardAfter);

    LoadedForm loaded;
    MemoryFormRuntime& runtime = loaded.runtime;
    if (!before.isEmpty()) {
        runtime.otherProgramCopies(before.toStdU32String());
    }
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.form.Genera();
    const std::u32string password = runtime.clipboard.text;
    // Selecting the shown password puts it into the X11 selection too.
    runtime.selection = {password, false, false, true};
    if (manager == u"takes over") {
        runtime.otherProgramCopies(password);
    } else if (manager.startsWith(u"refills")) {
        runtime.answersAtOnce = manager.endsWith(u"at once");
        runtime.whileWaiting([&runtime, password] {
            if (runtime.clipboard.empty) {
                runtime.otherProgramCopies(password); // its newest entry
            }
        });
    }
    if (since == u"part") {
        // Copying a selected part of the shown password leaves just that part.
        runtime.clipboard.text.resize(4);
    } else if (since == u"again") {
        loaded.form.Genera();
    } else if (!since.isEmpty()) {
        runtime.otherProgramCopies(since.toStdU32String());
    }

    if (way == u"END") {
        loaded.form.ComEnd_Click();
    } else if (way == u"Esc") {
        loaded.form.Esc_Click();
    } else {
        loaded.form.Form_Unload();
    }
    QCOMPARE(runtime.ends, way == u"close" ? 0 : 1);
    QCOMPARE(show(runtime.clipboard.text), clipboardAfter);
    QCOMPARE(runtime.clipboard.empty, clipboardAfter.isEmpty());
    // Only the password itself is marked: what goes back is the user's.
    QCOMPARE(runtime.clipboard.secret, clipboardAfter == show(password));
    QCOMPARE(runtime.selection.empty, way != u"Esc");

    // The clipboard changes while the window can still change it; the window goes before any
    // wait for a manager; END takes the information window with it.
    QStringList steps;
    for (const std::string& step : runtime.steps) {
        steps << QString::fromStdString(step);
    }
    const QString hidden = way == u"END"     ? u"hide Form1,hide Form2"_s
                           : way == u"close" ? u"hide Form1"_s
                                             : u""_s;
    const QRegularExpression order(u"^((clear|put back),)*%1(,wait|,put back)*$"_s.arg(hidden));
    // A refill at once gets the notice before the window goes, where it may still set it.
    QVERIFY(!runtime.answersAtOnce ||
            steps.join(u',').startsWith(u"clear,clear,put back,hide Form1,wait"_s));
    QVERIFY2(way == u"Esc" ? steps.isEmpty() : order.match(steps.join(u',')).hasMatch(),
             qPrintable(steps.join(u',')));
}

void TestForm1::unloadWipesTheSecrets()
{
    LoadedForm loaded;
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.form.Genera();
    loaded.form.Form_Unload();
    QVERIFY(loaded.form.variables().K.empty());
    QVERIFY(loaded.form.variables().Pas.empty());
}

void TestForm1::weakKeyStillGivesItsPasswordAndIsToldOnce()
{
    LoadedForm loaded;
    loaded.fill(U"google.it", U"mario", U"123456", U"14");
    loaded.form.Genera();
    QCOMPARE(show(loaded.runtime.clipboard.text), QStringLiteral("google.itmari0"));
    QCOMPARE(show(loaded.runtime.textBoxes["LabPassword"]), QStringLiteral("google.itmari0"));
    QCOMPARE(loaded.runtime.messages.size(), std::size_t(1));
    QVERIFY2(show(loaded.runtime.messages.front())
                 .contains(u": it spells out the site and user name in order. "),
             qPrintable(show(loaded.runtime.messages.front())));

    loaded.form.Genera(); // the same site and user again: already told
    QCOMPARE(loaded.runtime.messages.size(), std::size_t(1));

    loaded.form.Cancella(); // an ordinary key: nothing to say
    loaded.fill(U"google.it", U"mario", U"Ab3$", U"14");
    loaded.form.Genera();
    QCOMPARE(loaded.runtime.messages.size(), std::size_t(1));

    loaded.form.Cancella(); // another site with a weak key (the empty key, "0"): told again
    loaded.fill(U"example", U"maria", U"", U"8"); // L = 12, "0" = 48
    loaded.form.Genera();
    QCOMPARE(show(loaded.runtime.clipboard.text), QStringLiteral("00000000"));
    QCOMPARE(loaded.runtime.messages.size(), std::size_t(2));
}

void TestForm1::helpAndInfo()
{
    LoadedForm loaded;
    loaded.form.Help_Click();
    QCOMPARE(loaded.runtime.messages.size(), std::size_t(1));
    QCOMPARE(show(loaded.runtime.messages.front()), QStringLiteral("ATTENTION work of course"));
    QCOMPARE(loaded.marks(), QStringLiteral("A- Z=0"));

    loaded.form.Info_Click();
    loaded.form.Info_Click();
    QCOMPARE(loaded.runtime.shown, (std::vector<std::string>{"Form2", "Form2"}));
}

// The same rules as tessivo-cli's clipboard holder uses them: the selection is never its own,
// and what goes back may come from an earlier holder it replaced.
void TestForm1::clipboardOnlyRules_data()
{
    QTest::addColumn<QString>("before");  // on the clipboard before the password
    QTest::addColumn<QString>("adopted"); // what goes back, as an earlier holder handed it over
    QTest::addColumn<QString>("manager"); // "refills" an emptied clipboard
    QTest::addColumn<QString>("since");   // copied while the password waits
    QTest::addColumn<QString>("clipboardAfter");

    QTest::newRow("nothing before: emptied") << u""_s << u""_s << u""_s << u""_s << u""_s;
    QTest::newRow("what was there goes back") << u"mine"_s << u""_s << u""_s << u""_s << u"mine"_s;
    QTest::newRow("an earlier holder's before goes back, not its password")
        << u"opeldeap0"_s << u"mine"_s << u""_s << u""_s << u"mine"_s;
    QTest::newRow("text copied since stays")
        << u"mine"_s << u""_s << u"refills"_s << u"theirs"_s << u"theirs"_s;
    QTest::newRow("a manager refilling gets the notice")
        << u""_s << u""_s << u"refills"_s << u""_s << u"(password removed)"_s;
}

void TestForm1::clipboardOnlyRules()
{
    QFETCH(QString, before);
    QFETCH(QString, adopted);
    QFETCH(QString, manager);
    QFETCH(QString, since);
    QFETCH(QString, clipboardAfter);

    const std::u32string password = U"opeldeap0opeld";
    MemoryFormRuntime runtime;
    PasswordClipboard rules(runtime, PasswordClipboard::Reach::ClipboardOnly);
    if (!before.isEmpty()) {
        runtime.otherProgramCopies(before.toStdU32String());
    }
    if (adopted.isEmpty()) {
        rules.rememberBefore({});
    } else {
        rules.adoptBefore({adopted.toStdU32String(), false});
    }
    runtime.setText(password);
    runtime.otherProgramCopies(password, Board::Selection);
    if (manager == u"refills") {
        runtime.whileWaiting([&runtime, password] {
            if (runtime.clipboard.empty) {
                runtime.otherProgramCopies(password);
            }
        });
    }
    if (!since.isEmpty()) {
        runtime.otherProgramCopies(since.toStdU32String());
    }

    if (rules.takeBack(password)) {
        rules.settle(password);
    }
    QCOMPARE(show(runtime.clipboard.text), clipboardAfter);
    QCOMPARE(runtime.clipboard.empty, clipboardAfter.isEmpty());
    QCOMPARE(show(runtime.selection.text), show(password));
}

QTEST_APPLESS_MAIN(TestForm1)
#include "tst_form1.moc"
