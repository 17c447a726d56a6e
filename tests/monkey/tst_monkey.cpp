// Long seeded random sessions of everything a user can do in both windows, short of leaving,
// with the program's promises checked after every step. A failure names its seed and the
// shortest list of steps found that still fails.

#include "engine.h"
#include "form1_window.h"
#include "form2_window.h"
#include "literal_derive.h"
#include "qt_application.h"
#include "qt_forms.h"
#include "qt_test_helpers.h"
#include "qt_typing.h"
#include "recording_messages.h"
#include "typed_input.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <set>

using namespace Qt::Literals::StringLiterals;
using tessivo::main_window::Form1Window;

namespace {

enum class Action {
    Type, // text into a box
    Backspace,
    Delete,
    Overwrite,    // select all, then type
    Paste,        // another program copied `text`, then Ctrl+V in a box
    CutOrCopyKey, // Ctrl+X or Ctrl+C in the key box
    SetLength,    // the length box's text replaced
    Enter,        // in a box
    Menu,         // a menu item other than the ways out
    Button,       // ZEPH or CANC
    CloseMain,    // Form1's close box, while Form2 keeps the program alive
    Back,         // Form2's ESC button
};

struct Step {
    Action action;
    int target = 0;
    QString text;
};

const char* const Boxes[] = {"TxtNomesito", "TxtUsername", "Cobnumerokey", "TxtKey", "LabPassword"};
constexpr int KeyBoxIndex = 3;
const char* const MenuItems[] = {"Zeph", "Number", "Alphabet", "Hideing", "Canc", "Help", "Info"};
const char* const Buttons[] = {"ComZeph", "ComCanc"};

QString describe(const Step& step)
{
    static const char* const names[] = {"Type",  "Backspace",    "Delete",    "Overwrite",
                                        "Paste", "CutOrCopyKey", "SetLength", "Enter",
                                        "Menu",  "Button",       "CloseMain", "Back"};
    QString target;
    switch (step.action) {
    case Action::Menu:
        target = QLatin1StringView(MenuItems[step.target]);
        break;
    case Action::Button:
        target = QLatin1StringView(Buttons[step.target]);
        break;
    case Action::CloseMain:
    case Action::Back:
    case Action::SetLength:
    case Action::CutOrCopyKey:
        break;
    default:
        target = QLatin1StringView(Boxes[step.target]);
    }
    return QLatin1StringView(names[static_cast<int>(step.action)]) + u' ' + target + u" \""_s +
           step.text + u'"';
}

QString randomText(std::mt19937& random, int maximum)
{
    static const QString pool = u"abcXYZ019!}$*0 ~\u00e9\u00e0\u20ac\U0001F600\t.-"_s;
    const std::u32string characters = pool.toStdU32String();
    std::u32string text;
    const int length = std::uniform_int_distribution<int>(1, maximum)(random);
    for (int i = 0; i < length; ++i) {
        text += characters[std::uniform_int_distribution<std::size_t>(0, characters.size() -
                                                                             1)(random)];
    }
    return QString::fromStdU32String(text);
}

Step randomStep(std::mt19937& random)
{
    // Mostly lengths that make a password, so that sessions reach the clipboard often.
    static const QString lengths[] = {u"1"_s, u"2"_s,   u"4"_s,  u"8"_s, u"10"_s, u"14"_s, u"12"_s,
                                      u"6"_s, u" 7 "_s, u"03"_s, u"0"_s, u"15"_s, u"x"_s,  u""_s};
    const auto pick = [&](int count) {
        return std::uniform_int_distribution<int>(0, count - 1)(random);
    };
    // Text goes to the length box now and then only: junk there refuses every generation.
    const auto textBox = [&] {
        return pick(8) == 0 ? 2 : std::array{0, 1, 3, 4}[std::size_t(pick(4))];
    };
    switch (pick(16)) {
    case 0:
    case 1:
    case 2:
        return {Action::Type, textBox(), randomText(random, 3)};
    case 3:
        return {Action::Backspace, pick(5), {}};
    case 4:
        return {Action::Delete, pick(5), {}};
    case 5:
        return {Action::Overwrite, textBox(), randomText(random, 2)};
    case 6:
        return {Action::Paste, textBox(), randomText(random, 8)};
    case 7:
        return {Action::CutOrCopyKey, pick(2), {}};
    case 8:
        return {Action::SetLength, 0, lengths[pick(static_cast<int>(std::size(lengths)))]};
    case 9:
    case 10:
        return {Action::Enter, pick(5), {}};
    case 11:
    case 12:
        return {Action::Menu, pick(7), {}};
    case 13:
        return {Action::Button, pick(2), {}};
    case 14:
        return {Action::CloseMain, 0, {}};
    default:
        return {Action::Back, 0, {}};
    }
}

// One run of the program: both forms defined as the program defines them.
class Session {
public:
    Session()
    {
        m_forms.define("Form1", [this] {
            return std::make_unique<Form1Window>(m_forms, m_messages, m_clipboard);
        });
        m_forms.define("Form2", [this] {
            return std::make_unique<tessivo::info_window::Form2Window>(m_forms, m_messages);
        });
        QGuiApplication::clipboard()->setText(u"the user's own"_s);
        m_forms.show("Form1");
    }

    // Runs the step; returns what broke, if anything.
    std::optional<QString> run(const Step& step);

    // What the session went through, so a run that tested little shows.
    int generated = 0;
    int refused = 0;
    int reloads = 0;

private:
    Form1Window* main() const { return qobject_cast<Form1Window*>(m_forms.loaded("Form1")); }
    QWidget* box(int index) const;
    std::u32string text(int index) const; // of a text box, or the length box's line
    std::u32string keyAsGenerated() const;
    std::optional<QString> checkMain(bool fresh) const;
    std::optional<QString> checkGeneration(const QString& clipboardBefore, qsizetype messagesBefore,
                                           const std::optional<std::u32string>& expected,
                                           bool warns) const;
    std::optional<std::u32string> expectedPassword() const;
    bool firstWeakKeyOfItsSeed();

    std::set<std::u32string> m_warnedSeeds; // as the main window since its last load

    tessivo::testing::RecordingMessages m_messages;
    tessivo::clipboard::QtClipboard m_clipboard;
    tessivo::forms::QtForms m_forms;
};

QWidget* Session::box(int index) const
{
    QWidget* found = main()->findChild<QWidget*>(QLatin1StringView(Boxes[index]));
    if (auto* combo = qobject_cast<QComboBox*>(found)) {
        return combo->lineEdit();
    }
    return found;
}

std::u32string Session::text(int index) const
{
    return qobject_cast<QLineEdit*>(box(index))->text().toStdU32String();
}

// The key the generation about to run uses: an empty key box stands for "0".
std::u32string Session::keyAsGenerated() const
{
    const std::u32string key = text(KeyBoxIndex);
    return key.empty() ? U"0" : key;
}

// What the generation about to run must give, from the boxes as they stand; nullopt when it
// must refuse with a message.
std::optional<std::u32string> Session::expectedPassword() const
{
    const std::u32string key = keyAsGenerated();
    const std::u32string seed = text(0) + text(1);
    const auto length = tessivo::derivation::ParseLength(text(2));
    if (seed.empty() || !length) {
        return std::nullopt;
    }
    const auto mode = main()->form().variables().Z == 0 ? tessivo::derivation::Mode::Alphabet
                                                        : tessivo::derivation::Mode::Number;
    std::u32string password = tessivo::testing::LiteralDerive(seed, key, *length, mode);
    if (password.empty()) {
        return std::nullopt;
    }
    return password;
}

// Whether the generation about to run must warn of a weak key: the first time for its seed.
bool Session::firstWeakKeyOfItsSeed()
{
    const std::u32string key = keyAsGenerated();
    const std::u32string seed = text(0) + text(1);
    return tessivo::derivation::ClassifyKeySum(tessivo::derivation::KeySum(key),
                                               static_cast<int>(seed.size())) !=
               tessivo::derivation::WeakKey::None &&
           m_warnedSeeds.insert(seed).second;
}

std::optional<QString> Session::checkMain(bool fresh) const
{
    Form1Window* window = main();
    if (window == nullptr) {
        return std::nullopt;
    }
    const auto action = [window](const char* name) {
        return window->findChild<QAction*>(QLatin1StringView(name));
    };
    const auto& vars = window->form().variables();
    const bool alphabet = action("Alphabet")->isChecked();
    if (alphabet == action("Number")->isChecked()) {
        return u"Alphabet and Number both carry a check mark, or neither does"_s;
    }
    if ((vars.Z == 0) != alphabet || (vars.H != 0) != action("Hideing")->isChecked()) {
        return u"Z or H does not mirror the check marks"_s;
    }
    auto* key = qobject_cast<QLineEdit*>(box(KeyBoxIndex));
    if (key->displayText() != QString(key->text().size(), u'*')) {
        return u"the key box shows \""_s + key->displayText() + u"\" in clear"_s;
    }
    if (!tessivo::derivation::IsKeyText(key->text().toStdU32String())) {
        return u"the key box holds a character the mask refuses"_s;
    }
    if (QString::fromStdU32String(vars.K) != key->text()) {
        return u"K is not what the stars stand for"_s;
    }
    if (fresh && (!vars.K.empty() || !vars.Pas.empty() || !key->text().isEmpty() ||
                  qobject_cast<QLineEdit*>(box(2))->text() != u"1" || !alphabet || vars.H != 0)) {
        return u"the reloaded main window is not in its start state"_s;
    }
    return std::nullopt;
}

std::optional<QString> Session::checkGeneration(const QString& clipboardBefore,
                                                qsizetype messagesBefore,
                                                const std::optional<std::u32string>& expected,
                                                bool warns) const
{
    const QString shown = qobject_cast<QLineEdit*>(box(4))->text();
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!expected) {
        if (m_messages.shown.size() != messagesBefore + 1) {
            return u"a refused generation showed no message"_s;
        }
        if (!shown.isEmpty() || clipboard->text() != clipboardBefore) {
            return u"a refused generation showed a password or touched the clipboard"_s;
        }
        return std::nullopt;
    }
    const QString password = QString::fromStdU32String(*expected);
    if (m_messages.shown.size() != messagesBefore + (warns ? 1 : 0)) {
        return warns ? u"a weak key was not pointed out the first time for its site and user"_s
                     : u"a generation both made a password and showed a message"_s;
    }
    const bool hidden = main()->form().variables().H != 0;
    if (shown != (hidden ? u"OK"_s : password) || clipboard->text() != password) {
        return u"expected the password "_s + password + u", the box shows "_s + shown +
               u" and the clipboard holds "_s + clipboard->text();
    }
    if (clipboard->mimeData()->data(u"x-kde-passwordManagerHint"_s) != "secret") {
        return u"the password on the clipboard is not marked secret"_s;
    }
    return std::nullopt;
}

std::optional<QString> Session::run(const Step& step)
{
    const bool form2Loaded = m_forms.loaded("Form2") != nullptr;
    if (main() == nullptr && step.action != Action::Back) {
        return std::nullopt; // only the information window is left
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString clipboardBefore = clipboard->text();
    const qsizetype messagesBefore = m_messages.shown.size();
    const bool generates = (step.action == Action::Menu && step.target == 0) ||
                           (step.action == Action::Button && step.target == 0) ||
                           (step.action == Action::Enter && step.target == KeyBoxIndex);
    const auto expected = generates ? expectedPassword() : std::nullopt;
    const bool warns = expected && firstWeakKeyOfItsSeed();
    bool fresh = false;
    QWidget* target = main() != nullptr && step.target < 5 ? box(step.target) : nullptr;

    switch (step.action) {
    case Action::Type:
        tessivo::testing::typeText(target, step.text);
        break;
    case Action::Backspace:
        QTest::keyClick(target, Qt::Key_Backspace);
        break;
    case Action::Delete:
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClick(target, Qt::Key_Delete);
        break;
    case Action::Overwrite:
        QTest::keySequence(target, QKeySequence::SelectAll);
        tessivo::testing::typeText(target, step.text);
        break;
    case Action::Paste:
        clipboard->setText(step.text);
        QTest::keySequence(target, QKeySequence::Paste);
        break;
    case Action::CutOrCopyKey: {
        QWidget* key = box(KeyBoxIndex);
        QTest::keySequence(key, QKeySequence::SelectAll);
        QTest::keySequence(key, step.target == 0 ? QKeySequence::Cut : QKeySequence::Copy);
        if (clipboard->text() != clipboardBefore) {
            return u"cut or copy in the key box changed the clipboard"_s;
        }
        break;
    }
    case Action::SetLength:
        qobject_cast<QLineEdit*>(box(2))->setText(step.text);
        break;
    case Action::Enter:
        QTest::keyClick(target, Qt::Key_Return);
        break;
    case Action::Menu:
        main()->findChild<QAction*>(QLatin1StringView(MenuItems[step.target]))->trigger();
        break;
    case Action::Button:
        QTest::mouseClick(main()->findChild<QPushButton*>(QLatin1StringView(Buttons[step.target])),
                          Qt::LeftButton);
        break;
    case Action::CloseMain:
        if (!form2Loaded) {
            return std::nullopt; // that would end the program: not a step of this test
        }
        main()->close();
        break;
    case Action::Back:
        if (!form2Loaded) {
            return std::nullopt;
        }
        fresh = main() == nullptr;
        qobject_cast<QPushButton*>(m_forms.loaded("Form2")->findChild<QPushButton*>(u"Command1"_s))
            ->click();
        break;
    }
    tessivo::testing::settle();

    if (m_forms.loaded("Form1") == nullptr && m_forms.loaded("Form2") == nullptr) {
        return u"the program ended"_s;
    }
    if (generates) {
        if (auto broken = checkGeneration(clipboardBefore, messagesBefore, expected, warns)) {
            return broken;
        }
        ++(expected ? generated : refused);
    }
    if (fresh) {
        ++reloads;
        m_warnedSeeds.clear(); // a new main window has warned of nothing yet
    }
    return checkMain(fresh);
}

// Runs `steps` in a new session; the index of the first failing step and what broke.
std::optional<std::pair<std::size_t, QString>> replay(const std::vector<Step>& steps)
{
    Session session;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (auto broken = session.run(steps[i])) {
            return std::make_pair(i, *broken);
        }
    }
    return std::nullopt;
}

// Drops every step the failure does not need, for as long as `budget` allows: each try
// replays a whole session.
std::vector<Step> shorten(std::vector<Step> steps, std::chrono::seconds budget)
{
    QElapsedTimer spent;
    spent.start();
    for (std::size_t i = steps.size(); i-- > 0 && spent.elapsed() < budget.count() * 1000;) {
        std::vector<Step> without = steps;
        without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
        if (replay(without)) {
            steps = std::move(without);
        }
    }
    return steps;
}

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tessivo::forms::SetUpApplication(*qApp); }
    void session_data();
    void session();
};

void TestMonkey::session_data()
{
    QTest::addColumn<unsigned>("seed");
    for (const unsigned seed : {1u, 2u, 3u, 1984u, 20040816u}) {
        QTest::newRow(qPrintable(u"seed "_s + QString::number(seed))) << seed;
    }
}

void TestMonkey::session()
{
    QFETCH(unsigned, seed);
    constexpr int StepCount = 2000;
    // A step takes about a millisecond; this only catches a hang or a runaway, with room for
    // sanitizer builds on a busy machine.
    constexpr qint64 SlowStepMs = 500;

    std::mt19937 random(seed);
    std::vector<Step> steps;
    Session session;
    QElapsedTimer timer;
    qint64 slowest = 0;
    for (int i = 0; i < StepCount; ++i) {
        steps.push_back(randomStep(random));
        timer.start();
        const auto broken = session.run(steps.back());
        slowest = std::max(slowest, timer.elapsed());
        if (broken || timer.elapsed() > SlowStepMs) {
            QString report =
                u"seed %1, step %2: %3\nshortest failing steps:\n"_s.arg(seed).arg(i).arg(
                    broken.value_or(u"a step took %1 ms"_s.arg(timer.elapsed())));
            // Said before the search for a shorter list, which may take a while.
            qWarning("%s", qPrintable(report));
            if (broken) {
                for (const Step& step : shorten(steps, std::chrono::seconds(60))) {
                    report += u"  "_s + describe(step) + u'\n';
                }
            }
            QFAIL(qPrintable(report));
        }
    }
    qInfo("seed %u: %d steps, %d passwords, %d refusals, %d reloads of the main window, "
          "slowest step %lld ms",
          seed, StepCount, session.generated, session.refused, session.reloads, slowest);
    QVERIFY2(session.generated > 0 && session.refused > 0 && session.reloads > 0,
             "the session never reached some of what it is meant to test");
}

QTEST_MAIN(TestMonkey)
#include "tst_monkey.moc"
