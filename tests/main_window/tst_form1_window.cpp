#include "ansi_code.h"
#include "form1_window.h"
#include "password_box.h"
#include "qt_application.h"
#include "qt_forms.h"
#include "qt_test_helpers.h"
#include "qt_typing.h"
#include "recording_messages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using tessivo::main_window::Form1Window;

// Finds a control of the main window by its object name, or fails the test naming it.
using namespace Qt::Literals::StringLiterals;

namespace {

QClipboard& clipboard() { return *QGuiApplication::clipboard(); }

// The seed character that makes the widest password at `font`, of all characters with a code:
// a letter password shows seed characters, a digit password the digits of their codes, and
// only a code of one repeated digit gives that digit alone.
QChar widestPiece(const QFont& font, bool digits)
{
    const QFontMetricsF metrics(font);
    QChar widest;
    qreal widestAdvance = 0;
    for (char16_t c = u'!'; c < 0x2200; ++c) {
        const QString code = QString::number(tessivo::derivation::AnsiCode(c));
        const QChar piece = digits ? code.front() : QChar(c);
        if (QChar(c).isPrint() && (code != u"63" || c == u'?') &&
            (!digits || (code.size() > 1 && code.count(piece) == code.size())) &&
            metrics.horizontalAdvance(piece) > widestAdvance) {
            widestAdvance = metrics.horizontalAdvance(piece);
            widest = QChar(c);
        }
    }
    return widest;
}

} // namespace

class TestForm1Window : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowDefinition();
    void captions_data();
    void captions();
    void lengthList();
    void tabOrder();
    void menuTree();
    void keyMask_data();
    void keyMask();
    void keyNeverLeavesTheBox();
    void enterGeneratesOnlyFromTheKeyBox();
    void clipboardMarksThePasswordSecret();
    void copiesOfThePasswordAreSecret_data();
    void copiesOfThePasswordAreSecret();
    void passwordShowsWhole_data();
    void passwordShowsWhole();
    void checkItemsFlipAsTheHandlersSay();
    void cancButtonClears();
    void helpShowsItsMessage();
    void waysOut_data();
    void waysOut();

private:
    Form1Window& window() { return *qobject_cast<Form1Window*>(m_forms->loaded("Form1")); }
    void generate(const QString& site, const QString& user, const QString& key,
                  const QString& length);

    tessivo::testing::RecordingMessages m_messages;
    tessivo::clipboard::QtClipboard m_clipboard;
    std::unique_ptr<tessivo::forms::QtForms> m_forms;
};

void TestForm1Window::initTestCase() { tessivo::forms::SetUpApplication(*qApp); }

void TestForm1Window::init()
{
    m_messages.shown.clear();
    clipboard().clear();
    m_forms = std::make_unique<tessivo::forms::QtForms>();
    m_forms->define("Form1", [this] {
        return std::make_unique<Form1Window>(*m_forms, m_messages, m_clipboard);
    });
    m_forms->show("Form1");
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
}

void TestForm1Window::cleanup() { m_forms.reset(); }

void TestForm1Window::generate(const QString& site, const QString& user, const QString& key,
                               const QString& length)
{
    FIND(QLineEdit, siteBox, "TxtNomesito");
    FIND(QLineEdit, userBox, "TxtUsername");
    FIND(QLineEdit, keyBox, "TxtKey");
    FIND(QComboBox, lengthBox, "Cobnumerokey");
    siteBox->setText(site);
    userBox->setText(user);
    lengthBox->setEditText(length);
    keyBox->clear();
    QTest::keyClicks(keyBox, key);
    QTest::keyClick(keyBox, Qt::Key_Return);
}

void TestForm1Window::windowDefinition()
{
    QCOMPARE(
        window().windowTitle(),
        QStringLiteral("Tessivo 1.2                                             by Vandro 33"));
    QCOMPARE(window().windowTitle().size(), 68);
    QVERIFY2(window().minimumSize() == window().maximumSize(), "the window must not be resizable");
    const Qt::WindowFlags flags = window().windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    QWidget* client = window().centralWidget();
    QCOMPARE(client->size(), QSize(433, 107));
    QCOMPARE(client->palette().color(QPalette::Window), QColor(0x80, 0xFF, 0xFF));
    QCOMPARE(window().size().height(), 107 + window().menuBar()->height());

    FIND(QLineEdit, site, "TxtNomesito");
    FIND(QLineEdit, user, "TxtUsername");
    FIND(QLineEdit, key, "TxtKey");
    FIND(QLineEdit, password, "LabPassword");
    QCOMPARE(site->maxLength(), 19);
    QCOMPARE(user->maxLength(), 19);
    QCOMPARE(key->maxLength(), 6);
    QCOMPARE(site->geometry(), QRect(112, 0, 145, 20));
    QCOMPARE(password->geometry(), QRect(280, 32, 145, 25));
    QCOMPARE(password->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(password->palette().color(QPalette::Text), QColor(0xFF, 0, 0));
    QVERIFY(!password->isReadOnly());

    // Front to back among siblings: boxes, then the picture, then the labels Label6 ... Label1.
    const QObjectList children = client->children();
    const auto depth = [&](const char* name) {
        return children.indexOf(client->findChild<QWidget*>(QLatin1StringView(name)));
    };
    QVERIFY(depth("Label1") < depth("Label2"));
    QVERIFY(depth("Label3") < depth("Label8"));
    QVERIFY(depth("Label8") < depth("Label6"));
    QVERIFY(depth("Label6") < depth("Image1"));
    QVERIFY(depth("Image1") < depth("TxtNomesito"));
    QVERIFY(depth("Image1") < depth("ComEnd"));

    for (QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(!control->accessibleName().isEmpty(),
                 qPrintable(control->objectName() + QStringLiteral(" has no accessible name")));
    }
}

void TestForm1Window::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<qreal>("points");
    // What shows of the control: several labels reach under the boxes in front of them.
    QTest::addColumn<int>("visibleWidth");
    const QColor form(0x80, 0xFF, 0xFF);
    QTest::newRow("Label1, up to Label6") << u"Label1"_s << u"Name sito:"_s << form << 8.25 << 72;
    QTest::newRow("Label2, right of the site box") << u"Label2"_s << u".it"_s << form << 8.25 << 24;
    QTest::newRow("Label3, up to the user box")
        << u"Label3"_s << u"Username"_s << form << 8.25 << 104;
    QTest::newRow("Label4, up to the key box") << u"Label4"_s << u"Key"_s << form << 8.25 << 32;
    QTest::newRow("Label5, two spaces, up to the length box")
        << u"Label5"_s << u"number  key"_s << form << 8.25 << 80;
    QTest::newRow("Label6, up to the site box") << u"Label6"_s << u"www."_s << form << 8.25 << 32;
    QTest::newRow("Label8") << u"Label8"_s << u"PASSWORD"_s << form << 12.0 << 105;
    QTest::newRow("ComZeph") << u"ComZeph"_s << u"ZEPH"_s << QColor(0xC0, 0xFF, 0xC0) << 9.75
                             << 145;
    QTest::newRow("ComCanc") << u"ComCanc"_s << u"CANC"_s << QColor(0xFF, 0xFF, 0xC0) << 9.75
                             << 121;
    QTest::newRow("ComEnd") << u"ComEnd"_s << u"END"_s << QColor(0xFF, 0xC0, 0xC0) << 9.75 << 121;
}

void TestForm1Window::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QColor, background);
    QFETCH(qreal, points);
    QFETCH(int, visibleWidth);
    auto* control = window().findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(u"no control named "_s + name));
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->palette().color(QPalette::Window), background);
        QVERIFY(label->autoFillBackground());
    } else {
        auto* button = qobject_cast<QPushButton*>(control);
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->palette().color(QPalette::Button), background);
        QVERIFY2(!button->autoDefault() && !button->isDefault(), "Enter must press no button");
    }
    QVERIFY(control->font().bold());
    QCOMPARE(control->font().pointSizeF(), points);

    // The text is drawn in the system's button text colour, Label8 in its own blue: give the
    // roles colours nothing else uses and look for them in what the control paints.
    const QColor buttonText(0xFF, 0x00, 0xFF);
    const QColor windowText(0x00, 0xFF, 0x00);
    QPalette palette = control->palette();
    if (name != u"Label8") {
        palette.setColor(QPalette::ButtonText, buttonText);
        palette.setColor(QPalette::WindowText, windowText);
        control->setPalette(palette);
    }
    const QColor expected = name == u"Label8" ? QColor(0x00, 0x00, 0xFF) : buttonText;
    const QImage drawn = control->grab().toImage();
    bool found = false;
    for (int y = 0; y < drawn.height() && !found; ++y) {
        for (int x = 0; x < drawn.width() && !found; ++x) {
            QVERIFY2(drawn.pixelColor(x, y) != windowText,
                     qPrintable(name + u" draws its text in the window text colour"_s));
            found = drawn.pixelColor(x, y) == expected;
        }
    }
    QVERIFY2(found, qPrintable(name + u" does not draw its text in "_s + expected.name()));

    // Every caption fits what shows of its control at 96 dpi, whichever font stood in.
    const QFontMetrics metrics(control->font());
    QVERIFY2(metrics.horizontalAdvance(caption) <= visibleWidth,
             qPrintable(name + u" clips its caption in "_s + control->font().family()));
}

void TestForm1Window::lengthList()
{
    FIND(QComboBox, length, "Cobnumerokey");
    QVERIFY(length->isEditable());
    QStringList items;
    for (int i = 0; i < length->count(); ++i) {
        items << length->itemText(i);
    }
    QCOMPARE(items, QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"8"_s, u"10"_s,
                                 u"12"_s, u"14"_s}));
    QCOMPARE(length->currentText(), QStringLiteral("1"));

    // Typed text is a length, not a new list item.
    length->lineEdit()->setText(QStringLiteral("7"));
    QTest::keyClick(length->lineEdit(), Qt::Key_Return);
    QCOMPARE(length->count(), 10);
    QCOMPARE(length->currentText(), QStringLiteral("7"));
}

void TestForm1Window::tabOrder()
{
    FIND(QLineEdit, site, "TxtNomesito");
    QStringList visited;
    QWidget* widget = site;
    do {
        if (widget->focusPolicy() & Qt::TabFocus && widget->isVisibleTo(&window()) &&
            !widget->objectName().isEmpty() && widget->parentWidget() == window().centralWidget()) {
            visited << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != site && visited.size() < 20);
    QCOMPARE(visited,
             QStringList({u"TxtNomesito"_s, u"TxtUsername"_s, u"Cobnumerokey"_s, u"TxtKey"_s,
                          u"ComZeph"_s, u"ComCanc"_s, u"ComEnd"_s, u"LabPassword"_s}));
    QCOMPARE(QApplication::focusWidget(), site);
}

void TestForm1Window::menuTree()
{
    const auto captions = [](const QList<QAction*>& actions) {
        QStringList names;
        for (const QAction* action : actions) {
            names << action->text();
            if (!action->shortcut().isEmpty() || action->text().contains(u'&')) {
                names << QStringLiteral("<has a shortcut>");
            }
            if (action->isSeparator()) {
                names << QStringLiteral("<separator>");
            }
        }
        return names;
    };
    QCOMPARE(captions(window().menuBar()->actions()),
             QStringList({u"File"_s, u"Modify"_s, u"Esc"_s, u"?"_s}));
    FIND(QMenu, file, "File");
    FIND(QMenu, modify, "Modify");
    FIND(QMenu, selection, "Selection");
    FIND(QMenu, help, "EdHelp");
    QCOMPARE(captions(file->actions()), QStringList({u"Zeph"_s}));
    QCOMPARE(captions(modify->actions()), QStringList({u"Selection"_s, u"Hideing"_s, u"Canc"_s}));
    QCOMPARE(captions(selection->actions()), QStringList({u"Number"_s, u"Alphabet"_s}));
    QCOMPARE(captions(help->actions()), QStringList({u"Help"_s, u"Info"_s}));
    FIND(QAction, esc, "Esc");
    QVERIFY2(esc->menu() == nullptr, "Esc acts at once, it opens no menu");

    FIND(QAction, alphabet, "Alphabet");
    FIND(QAction, number, "Number");
    FIND(QAction, hideing, "Hideing");
    QVERIFY(alphabet->isChecked());
    QVERIFY(!number->isChecked());
    QVERIFY(!hideing->isChecked());
}

void TestForm1Window::keyMask_data()
{
    QTest::addColumn<QString>("steps"); // t:text  k:key  p:paste  i:insert (the path of a drop)
    QTest::addColumn<QString>("key");

    QTest::newRow("typing") << u"t:Ab3$"_s << u"Ab3$"_s;
    QTest::newRow("first and last accepted") << u"t:!}"_s << u"!}"_s;
    QTest::newRow("seventh character refused") << u"t:abcdefg"_s << u"abcdef"_s;
    QTest::newRow("space and tilde refused") << u"t:a b~c"_s << u"abc"_s;
    QTest::newRow("accented letter refused") << QStringLiteral("t:a\u00e9b") << u"ab"_s;
    QTest::newRow("emoji refused") << QStringLiteral("t:a\U0001F600b") << u"ab"_s;
    QTest::newRow("backspace") << u"t:abc|k:Backspace|t:x"_s << u"abx"_s;
    QTest::newRow("delete") << u"t:abc|k:Home|k:Delete"_s << u"bc"_s;
    QTest::newRow("selection overwritten") << u"t:abcd|k:SelectAll|t:z"_s << u"z"_s;
    QTest::newRow("paste accepted") << u"t:a|p:xyz"_s << u"axyz"_s;
    QTest::newRow("paste with a space refused whole") << u"t:a|p:x y"_s << u"a"_s;
    QTest::newRow("paste of accented text refused") << QStringLiteral("t:a|p:\u00e0") << u"a"_s;
    QTest::newRow("insert refused whole") << u"t:ab|i:c~d"_s << u"ab"_s;
    QTest::newRow("cut removes, copies nothing") << u"t:abc|k:SelectAll|k:Cut|t:q"_s << u"q"_s;
    // Qt decides what a masked box's undo restores; the key follows whatever it is.
    QTest::newRow("undo") << u"t:abc|k:Backspace|k:Undo"_s << u"?"_s;
    QTest::newRow("undo and redo") << u"t:abc|k:Backspace|k:Undo|k:Redo|t:d"_s << u"?"_s;
}

void TestForm1Window::keyMask()
{
    QFETCH(QString, steps);
    QFETCH(QString, key);
    FIND(QLineEdit, box, "TxtKey");
    clipboard().setText(QStringLiteral("unrelated"));

    for (const QString& step : steps.split(u'|')) {
        const QString argument = step.mid(2);
        switch (step.front().unicode()) {
        case u't':
            tessivo::testing::typeText(box, argument);
            break;
        case u'p': {
            clipboard().setText(argument);
            QTest::keySequence(box, QKeySequence::Paste);
            clipboard().setText(QStringLiteral("unrelated"));
            break;
        }
        case u'i':
            box->insert(argument);
            break;
        default:
            if (argument == u"Backspace") {
                QTest::keyClick(box, Qt::Key_Backspace);
            } else if (argument == u"Delete") {
                QTest::keyClick(box, Qt::Key_Delete);
            } else if (argument == u"Home") {
                QTest::keyClick(box, Qt::Key_Home);
            } else if (argument == u"SelectAll") {
                QTest::keySequence(box, QKeySequence::SelectAll);
            } else if (argument == u"Cut") {
                QTest::keySequence(box, QKeySequence::Cut);
            } else if (argument == u"Undo") {
                QTest::keySequence(box, QKeySequence::Undo);
            } else if (argument == u"Redo") {
                QTest::keySequence(box, QKeySequence::Redo);
            }
        }
    }

    if (key != u"?") {
        QCOMPARE(box->text(), key);
    }
    QCOMPARE(QString::fromStdU32String(window().form().variables().K), box->text());
    QCOMPARE(box->displayText(), QString(box->text().size(), u'*'));
    QCOMPARE(clipboard().text(), QStringLiteral("unrelated"));
    QVERIFY(m_messages.shown.isEmpty());
}

void TestForm1Window::keyNeverLeavesTheBox()
{
    FIND(QLineEdit, box, "TxtKey");
    clipboard().setText(QStringLiteral("unrelated"));
    QTest::keyClicks(box, QStringLiteral("secret"));
    box->selectAll();
    QTest::keySequence(box, QKeySequence::Copy);
    box->copy();
    QCOMPARE(clipboard().text(), QStringLiteral("unrelated"));
    QVERIFY2(!box->dragEnabled(), "the key must not be dragged out of its box");
    QCOMPARE(box->echoMode(), QLineEdit::Password);
    QCOMPARE(box->displayText(), QStringLiteral("******"));
}

void TestForm1Window::enterGeneratesOnlyFromTheKeyBox()
{
    FIND(QLineEdit, site, "TxtNomesito");
    FIND(QLineEdit, user, "TxtUsername");
    FIND(QComboBox, length, "Cobnumerokey");
    FIND(QLineEdit, password, "LabPassword");
    FIND(QLineEdit, key, "TxtKey");
    site->setText(QStringLiteral("google.it"));
    user->setText(QStringLiteral("mario"));
    length->setEditText(QStringLiteral("14"));
    QTest::keyClicks(key, QStringLiteral("Ab3$"));
    clipboard().setText(QStringLiteral("unrelated"));

    for (QWidget* box :
         {static_cast<QWidget*>(site), static_cast<QWidget*>(user),
          static_cast<QWidget*>(length->lineEdit()), static_cast<QWidget*>(password)}) {
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Escape);
    }
    QTest::keyClick(key, Qt::Key_Escape);
    QVERIFY(password->text().isEmpty());
    QCOMPARE(clipboard().text(), QStringLiteral("unrelated"));
    QCOMPARE(m_forms->loaded("Form1"), &window());

    QTest::keyClick(key, Qt::Key_Return);
    QCOMPARE(password->text(), QStringLiteral("rmiego0rmiego0"));
    QCOMPARE(clipboard().text(), QStringLiteral("rmiego0rmiego0"));
    QCOMPARE(key->text(), QStringLiteral("Ab3$"));
}

void TestForm1Window::clipboardMarksThePasswordSecret()
{
    generate(QStringLiteral("amazon"), QStringLiteral("luigi"), QStringLiteral("k"),
             QStringLiteral("8"));
    const QMimeData* data = clipboard().mimeData();
    QVERIFY(data != nullptr);
    QCOMPARE(data->text(), QStringLiteral("uomglzai"));
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArrayLiteral("secret"));
}

void TestForm1Window::copiesOfThePasswordAreSecret_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("way");
    QTest::newRow("Ctrl+C") << u"LabPassword"_s << u"Copy"_s;
    QTest::newRow("Ctrl+X") << u"LabPassword"_s << u"Cut"_s;
    QTest::newRow("menu Copy") << u"LabPassword"_s << u"menu Copy"_s;
    QTest::newRow("menu Cut") << u"LabPassword"_s << u"menu Cut"_s;
    QTest::newRow("site box stays plain") << u"TxtNomesito"_s << u"Copy"_s;
}

void TestForm1Window::copiesOfThePasswordAreSecret()
{
    QFETCH(QString, box);
    QFETCH(QString, way);
    generate(QStringLiteral("amazon"), QStringLiteral("luigi"), QStringLiteral("k"),
             QStringLiteral("8"));
    clipboard().setText(QStringLiteral("unrelated"));
    auto* control = window().findChild<QLineEdit*>(box);
    QVERIFY(control != nullptr);
    const QString copied = control->text();
    QTest::keySequence(control, QKeySequence::SelectAll);
    if (way == u"Copy") {
        QTest::keySequence(control, QKeySequence::Copy);
    } else if (way == u"Cut") {
        QTest::keySequence(control, QKeySequence::Cut);
        QVERIFY(control->text().isEmpty());
    } else {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, {5, 5},
                                control->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(control, &event);
        auto* menu = control->findChild<QMenu*>();
        QVERIFY(menu != nullptr);
        // Qt's items carry no names; their captions end in their shortcuts.
        const QString shortcut =
            QKeySequence(way == u"menu Copy" ? QKeySequence::Copy : QKeySequence::Cut).toString();
        for (QAction* item : menu->actions()) {
            if (item->text().endsWith(shortcut)) {
                item->trigger();
            }
        }
        menu->close();
    }
    QCOMPARE(clipboard().text(), copied);
    QCOMPARE(clipboard().mimeData()->data(u"x-kde-passwordManagerHint"_s) == "secret",
             box == u"LabPassword");
}

void TestForm1Window::passwordShowsWhole_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("family"); // empty: the font the window chose
    QTest::newRow("widest letters") << u"Alphabet"_s << QString();
    QTest::newRow("widest digits") << u"Number"_s << QString();
    QTest::newRow("widest letters, DejaVu Sans") << u"Alphabet"_s << u"DejaVu Sans"_s;
    QTest::newRow("widest digits, DejaVu Sans") << u"Number"_s << u"DejaVu Sans"_s;
    QTest::newRow("hidden: OK keeps the defined size") << u"Hideing"_s << QString();
}

void TestForm1Window::passwordShowsWhole()
{
    QFETCH(QString, mode);
    QFETCH(QString, family);
    FIND(tessivo::main_window::PasswordBox, password, "LabPassword");
    if (!family.isEmpty()) {
        QFont font = password->font();
        font.setFamilies({family});
        password->setDefinedFont(font);
    }
    const QFont defined = password->font();
    const QRect place = password->geometry();
    if (auto* item = window().findChild<QAction*>(mode); mode != u"Alphabet") {
        QVERIFY(item != nullptr);
        item->trigger();
    }
    const bool digits = mode == u"Number";
    const QChar widest = widestPiece(defined, digits);
    // A seed of one character repeated 38 times with key sum 107: no multiple of 107 up to
    // 14 times falls on a multiple of 38, so every piece is that character.
    generate(QString(19, widest), QString(19, widest), QStringLiteral("k"), QStringLiteral("14"));
    if (mode == u"Hideing") {
        QCOMPARE(password->text(), QStringLiteral("OK"));
        QCOMPARE(password->font(), defined);
        return;
    }
    const QChar piece =
        digits ? QString::number(tessivo::derivation::AnsiCode(widest.unicode())).front() : widest;
    QCOMPARE(password->text(), QString(14, piece));

    QCOMPARE(password->geometry(), place);
    QCOMPARE(password->font().family(), defined.family());
    QVERIFY(password->font().pointSizeF() <= defined.pointSizeF());
    // QLineEdit scrolls a text wider than its room to keep the cursor in view: the distance
    // from the cursor at the start to the cursor at the end is then less than the text.
    const auto showsWhole = [password] {
        const auto cursorX = [password](int position) {
            password->setCursorPosition(position);
            password->repaint();
            return password->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        };
        const int start = cursorX(0);
        const int end = cursorX(int(password->text().size()));
        const qreal advance = QFontMetricsF(password->font()).horizontalAdvance(password->text());
        return end - start + 1 >= qFloor(advance) && start >= 0 && end < password->width();
    };
    QVERIFY(showsWhole());
    if (password->font() != defined) {
        QFont larger = password->font();
        larger.setPixelSize(QFontInfo(larger).pixelSize() + 1);
        password->setFont(larger);
        QVERIFY2(!showsWhole(), "the text is drawn smaller than it needs");
    }

    FIND(QPushButton, canc, "ComCanc");
    QTest::mouseClick(canc, Qt::LeftButton);
    QCOMPARE(password->font(), defined);
}

void TestForm1Window::checkItemsFlipAsTheHandlersSay()
{
    FIND(QAction, alphabet, "Alphabet");
    FIND(QAction, number, "Number");
    FIND(QAction, hideing, "Hideing");
    FIND(QLineEdit, password, "LabPassword");

    alphabet->trigger();
    QVERIFY(number->isChecked() && !alphabet->isChecked());
    generate(QStringLiteral("amazon"), QStringLiteral("luigi"), QStringLiteral("k"),
             QStringLiteral("8"));
    QCOMPARE(clipboard().text(), QStringLiteral("71111091"));

    number->trigger();
    QVERIFY(alphabet->isChecked() && !number->isChecked());
    number->trigger();
    number->trigger();
    QVERIFY(alphabet->isChecked() && !number->isChecked());

    hideing->trigger();
    QVERIFY(hideing->isChecked());
    QCOMPARE(password->text(), QStringLiteral("71111091")); // shown until the next generation
    generate(QStringLiteral("amazon"), QStringLiteral("luigi"), QStringLiteral("k"),
             QStringLiteral("8"));
    QCOMPARE(password->text(), QStringLiteral("OK"));
    QCOMPARE(clipboard().text(), QStringLiteral("uomglzai"));
}

void TestForm1Window::cancButtonClears()
{
    generate(QStringLiteral("amazon"), QStringLiteral("luigi"), QStringLiteral("k"),
             QStringLiteral("8"));
    FIND(QPushButton, canc, "ComCanc");
    FIND(QLineEdit, key, "TxtKey");
    FIND(QLineEdit, site, "TxtNomesito");
    FIND(QComboBox, length, "Cobnumerokey");
    QTest::mouseClick(canc, Qt::LeftButton);
    QVERIFY(key->text().isEmpty());
    QVERIFY(site->text().isEmpty());
    QVERIFY(window().form().variables().K.empty());
    QCOMPARE(length->currentText(), QStringLiteral("8"));
    QCOMPARE(clipboard().text(), QStringLiteral("uomglzai"));

    FIND(QAction, canc_item, "Canc");
    QTest::keyClicks(key, QStringLiteral("abc"));
    canc_item->trigger();
    QVERIFY(key->text().isEmpty());
}

void TestForm1Window::helpShowsItsMessage()
{
    FIND(QAction, help, "Help");
    help->trigger();
    QCOMPARE(m_messages.shown, QStringList({u"ATTENTION work of course"_s}));
}

void TestForm1Window::waysOut_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("otherProgramCopied");
    QTest::addColumn<QString>("clipboardAfter");
    QTest::newRow("END empties the clipboard") << u"END"_s << false << u""_s;
    QTest::newRow("END keeps another program's text") << u"END"_s << true << u"theirs"_s;
    QTest::newRow("Esc keeps the password") << u"Esc"_s << false << u"uomglzai"_s;
    QTest::newRow("close box empties the clipboard") << u"close"_s << false << u""_s;
}

void TestForm1Window::waysOut()
{
    QFETCH(QString, way);
    QFETCH(bool, otherProgramCopied);
    QFETCH(QString, clipboardAfter);

    generate(QStringLiteral("amazon"), QStringLiteral("luigi"), QStringLiteral("k"),
             QStringLiteral("8"));
    if (otherProgramCopied) {
        clipboard().setText(QStringLiteral("theirs"));
    }
    QSignalSpy ended(m_forms.get(), &tessivo::forms::QtForms::ended);
    if (way == u"END") {
        FIND(QPushButton, end, "ComEnd");
        QTest::mouseClick(end, Qt::LeftButton);
    } else if (way == u"Esc") {
        FIND(QAction, esc, "Esc");
        esc->trigger();
    } else {
        QVERIFY(window().close());
        tessivo::testing::settle();
        QCOMPARE(m_forms->loaded("Form1"), nullptr);
    }
    QCOMPARE(ended.size(), 1);
    QCOMPARE(clipboard().text(), clipboardAfter);
}

QTEST_MAIN(TestForm1Window)
#include "tst_form1_window.moc"
