#include "form1_window.h"
#include "form2_window.h"
#include "form_names.h"
#include "message_service.h"
#include "qt_forms.h"
#include "qt_test_helpers.h"
#include "recording_messages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using tessivo::forms::QtForms;
using tessivo::info_window::Form2Window;
using tessivo::main_window::Form1Window;
using tessivo::testing::settle;

namespace {

QClipboard& clipboard() { return *QGuiApplication::clipboard(); }

// Both windows defined as the program defines them, the main one shown.
struct Program {
    tessivo::testing::RecordingMessages messages;
    tessivo::clipboard::QtClipboard ours;
    QtForms forms;
    QSignalSpy ended{&forms, &QtForms::ended};

    Program()
    {
        forms.define(tessivo::forms::Form1Name.name,
                     [this] { return std::make_unique<Form1Window>(forms, messages, ours); });
        forms.define(tessivo::forms::Form2Name.name,
                     [this] { return std::make_unique<Form2Window>(forms, messages); });
        forms.show(tessivo::forms::Form1Name.name);
    }

    Form1Window* form1() const { return qobject_cast<Form1Window*>(forms.loaded("Form1")); }
    QWidget* form2() const { return forms.loaded("Form2"); }
};

// A control of a window by its object name; nullptr if the window or the control is missing.
template <typename Control> Control* control(QWidget* window, const char* name)
{
    return window == nullptr ? nullptr : window->findChild<Control*>(QLatin1StringView(name));
}

// What of the main window the user can see or the program holds for it.
struct Form1State {
    QString site;
    QString user;
    QString key;
    QString length;
    QString password;
    bool alphabet = false;
    bool number = false;
    bool hiding = false;
    std::u32string K;
    std::int16_t Z = 0;
    std::int16_t H = 0;
    std::u32string Pas;

    bool operator==(const Form1State&) const = default;
};

struct ControlName {
    const char* type;
    const char* name;
};

const ControlName Form1Controls[] = {
    {"QLineEdit", "TxtNomesito"}, {"QLineEdit", "TxtUsername"},  {"QLineEdit", "TxtKey"},
    {"QLineEdit", "LabPassword"}, {"QComboBox", "Cobnumerokey"}, {"QPushButton", "ComZeph"},
    {"QAction", "Alphabet"},      {"QAction", "Number"},         {"QAction", "Hideing"},
    {"QAction", "Info"},
};

// Every control the tests reach in the main window, each of the right kind.
void requireForm1Controls(const Form1Window* window)
{
    QVERIFY2(window != nullptr, "Form1 is not loaded");
    for (const ControlName& expected : Form1Controls) {
        const QObject* found = window->findChild<QObject*>(QLatin1StringView(expected.name));
        QVERIFY2(found != nullptr && found->inherits(expected.type),
                 qPrintable(
                     QStringLiteral("Form1 has no %1 named %2")
                         .arg(QLatin1StringView(expected.type), QLatin1StringView(expected.name))));
    }
}

Form1State stateOf(Form1Window& window)
{
    Form1State state;
    state.site = control<QLineEdit>(&window, "TxtNomesito")->text();
    state.user = control<QLineEdit>(&window, "TxtUsername")->text();
    state.key = control<QLineEdit>(&window, "TxtKey")->text();
    state.length = control<QComboBox>(&window, "Cobnumerokey")->currentText();
    state.password = control<QLineEdit>(&window, "LabPassword")->text();
    state.alphabet = control<QAction>(&window, "Alphabet")->isChecked();
    state.number = control<QAction>(&window, "Number")->isChecked();
    state.hiding = control<QAction>(&window, "Hideing")->isChecked();
    const auto& vars = window.form().variables();
    state.K = vars.K;
    state.Z = vars.Z;
    state.H = vars.H;
    state.Pas = vars.Pas;
    return state;
}

QString describe(const Form1State& s)
{
    const QString marks = QString(s.alphabet ? QStringLiteral("A") : QStringLiteral("-")) +
                          (s.number ? QStringLiteral("N") : QStringLiteral("-")) +
                          (s.hiding ? QStringLiteral("H") : QStringLiteral("-"));
    return QStringLiteral("site '%1' user '%2' key '%3' length '%4' password '%5' marks %6 "
                          "K '%7' Z %8 H %9 Pas '%10'")
        .arg(s.site, s.user, s.key, s.length, s.password, marks, QString::fromStdU32String(s.K))
        .arg(s.Z)
        .arg(s.H)
        .arg(QString::fromStdU32String(s.Pas));
}

} // namespace

// Runs a helper that checks as it goes; the test stops where the helper failed.
#define STEP(call)                                                                                 \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed()) {                                                          \
            return;                                                                                \
        }                                                                                          \
    } while (false)

#define COMPARE_FORM1(actual, expected)                                                            \
    QVERIFY2((actual) == (expected),                                                               \
             qPrintable(QString(QStringLiteral("Form1 is ") + describe(actual) +                   \
                                QStringLiteral("\n expected ") + describe(expected))))

class TestForm2Lifecycle : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void infoTwiceGivesOneWindow();
    void escLeavesAnOpenMainWindowAsItWas();
    void closingTheMainWindowLeavesTheProgramToForm2();
    void escBringsBackAClosedMainWindowFresh();

private:
    // The user fills the main window, turns hiding on, generates, then picks Number mode.
    static void useForm1(Program& program);
    static void openInfo(Program& program);
    static void pressEsc(Program& program);
};

void TestForm2Lifecycle::init() { clipboard().clear(); }

void TestForm2Lifecycle::cleanup()
{
    settle();
    clipboard().clear();
}

void TestForm2Lifecycle::useForm1(Program& program)
{
    Form1Window* window = program.form1();
    STEP(requireForm1Controls(window));
    QTest::keyClicks(control<QLineEdit>(window, "TxtNomesito"), QStringLiteral("google.it"));
    QTest::keyClicks(control<QLineEdit>(window, "TxtUsername"), QStringLiteral("mario"));
    QTest::keyClicks(control<QLineEdit>(window, "TxtKey"), QStringLiteral("Ab3$"));
    auto* length = control<QComboBox>(window, "Cobnumerokey");
    length->setCurrentIndex(length->findText(QStringLiteral("14")));
    control<QAction>(window, "Hideing")->trigger();
    control<QPushButton>(window, "ComZeph")->click();
    control<QAction>(window, "Number")->trigger();

    QVERIFY2(program.messages.shown.isEmpty(),
             qPrintable(QString(QStringLiteral("generating refused: ") +
                                program.messages.shown.join(u'|'))));
    QCOMPARE(window->form().variables().Pas, std::u32string(U"rmiego0rmiego0"));
    QCOMPARE(clipboard().text(), QStringLiteral("rmiego0rmiego0"));
}

void TestForm2Lifecycle::openInfo(Program& program)
{
    STEP(requireForm1Controls(program.form1()));
    control<QAction>(program.form1(), "Info")->trigger();
    QVERIFY2(program.form2() != nullptr, "Info did not load Form2");
    QVERIFY2(program.form2()->isVisible(), "Info did not show Form2");
}

void TestForm2Lifecycle::pressEsc(Program& program)
{
    auto* esc = control<QPushButton>(program.form2(), "Command1");
    QVERIFY2(esc != nullptr, "Form2 is not loaded or has no button named Command1");
    esc->click();
    settle();
}

void TestForm2Lifecycle::infoTwiceGivesOneWindow()
{
    Program program;
    STEP(openInfo(program));
    const QPointer<QWidget> first = program.form2();
    STEP(openInfo(program));
    QCOMPARE(program.form2(), first.data());

    int shown = 0;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        shown += window->objectName() == u"Form2" && window->isVisible() ? 1 : 0;
    }
    QCOMPARE(shown, 1);

    // Once unloaded, the next Info makes it anew.
    STEP(pressEsc(program));
    QVERIFY2(first.isNull(), "ESC must destroy Form2's window");
    STEP(openInfo(program));
    QVERIFY(program.form2() != nullptr);
}

void TestForm2Lifecycle::escLeavesAnOpenMainWindowAsItWas()
{
    Program program;
    STEP(useForm1(program));
    const QPointer<Form1Window> form1 = program.form1();
    const Form1State before = stateOf(*form1);
    STEP(openInfo(program));
    const QPointer<QWidget> form2 = program.form2();

    STEP(pressEsc(program));

    QVERIFY2(form2.isNull(), "ESC must unload Form2");
    QVERIFY(program.form2() == nullptr);
    QCOMPARE(program.form1(), form1.data());
    QVERIFY(form1->isVisible());
    COMPARE_FORM1(stateOf(*form1), before);
    QCOMPARE(clipboard().text(), QStringLiteral("rmiego0rmiego0"));
    QCOMPARE(program.ended.count(), 0);
}

void TestForm2Lifecycle::closingTheMainWindowLeavesTheProgramToForm2()
{
    Program program;
    STEP(useForm1(program));
    STEP(openInfo(program));
    const QPointer<Form1Window> form1 = program.form1();

    form1->close(); // its close box
    settle();

    QVERIFY2(form1.isNull(), "closing Form1 must destroy its window");
    QVERIFY(program.form1() == nullptr);
    QCOMPARE(program.ended.count(), 0);
    QVERIFY2(program.form2() != nullptr && program.form2()->isVisible(),
             "Form2 stays as the only window");
    QVERIFY2(clipboard().text().isEmpty(), "Form1's unload takes its password off the clipboard");

    // Form2 is now the last window: once it goes, so does the program.
    program.form2()->close();
    settle();
    QCOMPARE(program.ended.count(), 1);
}

void TestForm2Lifecycle::escBringsBackAClosedMainWindowFresh()
{
    Program program;
    STEP(useForm1(program));
    STEP(openInfo(program));
    program.form1()->close();
    settle();
    QVERIFY(program.form1() == nullptr);

    STEP(pressEsc(program));

    QCOMPARE(program.ended.count(), 0);
    QVERIFY(program.form2() == nullptr);
    Form1Window* form1 = program.form1();
    STEP(requireForm1Controls(form1));
    QVERIFY2(form1->isVisible(), "ESC must show Form1 again");
    Form1State fresh;
    fresh.length = QStringLiteral("1");
    fresh.alphabet = true;
    COMPARE_FORM1(stateOf(*form1), fresh);

    const QPoint offCentre =
        form1->frameGeometry().center() - form1->screen()->availableGeometry().center();
    QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1, "the reloaded Form1 is centred");
}

QTEST_MAIN(TestForm2Lifecycle)
#include "tst_form2_lifecycle.moc"
