#include "form_names.h"
#include "message_service.h"
#include "qt_application.h"
#include "qt_clipboard.h"
#include "qt_forms.h"
#include "qt_test_helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::Literals::StringLiterals;
using tessivo::clipboard::Board;
using tessivo::clipboard::QtClipboard;
using tessivo::forms::QtForms;

class TestQtFormRuntime : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tessivo::forms::SetUpApplication(*qApp); }
    void messageBoxIsPlainAndTitledTessivo();
    void clipboardHoldsThePasswordOrAPartOfIt();
    void passwordOnTheClipboardIsMarkedSecret();
    void formsLiveOnceAndEndWithTheLast();
};

void TestQtFormRuntime::messageBoxIsPlainAndTitledTessivo()
{
    QWidget parent;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QAbstractButton*> buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY2(box != nullptr, "no modal message box is showing");
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons();
        box->accept();
    });
    tessivo::forms::MessageBoxService().show(&parent, u"ATTENTION work of course"_s);
    QCOMPARE(title, u"Tessivo"_s);
    QCOMPARE(text, u"ATTENTION work of course"_s);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons.size(), 1);
}

void TestQtFormRuntime::clipboardHoldsThePasswordOrAPartOfIt()
{
    QtClipboard ours;
    QClipboard& clipboard = *QGuiApplication::clipboard();

    ours.setText(U"rmiego0rmiego0");
    QVERIFY(ours.holds(U"rmiego0rmiego0", Board::Clipboard));
    clipboard.setText(u"rmiego"_s); // part of it, as a copy of a selection leaves
    QVERIFY(ours.holds(U"rmiego0rmiego0", Board::Clipboard));
    clipboard.setText(u"theirs"_s);
    QVERIFY(!ours.holds(U"rmiego0rmiego0", Board::Clipboard));
    ours.clear(Board::Clipboard);
    QVERIFY(clipboard.text().isEmpty());
    QVERIFY2(!ours.holds(U"rmiego0rmiego0", Board::Clipboard),
             "an empty clipboard holds no part of anything");
}

void TestQtFormRuntime::passwordOnTheClipboardIsMarkedSecret()
{
    QtClipboard ours;
    ours.setText(U"uomglzai");
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), u"uomglzai"_s);
    QCOMPARE(data->data(u"x-kde-passwordManagerHint"_s), QByteArrayLiteral("secret"));

    // What was there before goes back as it was: the user's own text stays unmarked.
    for (const bool secret : {false, true}) {
        const tessivo::clipboard::ClipboardText before{U"mine", secret};
        ours.putBack(before, Board::Clipboard);
        const tessivo::clipboard::ClipboardText read = ours.text(Board::Clipboard);
        QCOMPARE(read.text, before.text);
        QCOMPARE(read.secret, secret);
    }
    QGuiApplication::clipboard()->setText(u"theirs"_s);
    QVERIFY(!ours.text(Board::Clipboard).secret);
}

void TestQtFormRuntime::formsLiveOnceAndEndWithTheLast()
{
    QtForms forms;
    int made = 0;
    forms.define("Form1", [&made] {
        ++made;
        auto window = std::make_unique<QWidget>();
        window->setObjectName(u"Form1"_s);
        return window;
    });
    QSignalSpy ended(&forms, &QtForms::ended);

    forms.show("Form1");
    QWidget* first = forms.loaded("Form1");
    forms.show("Form1");
    QCOMPARE(made, 1);
    QCOMPARE(forms.loaded("Form1"), first);

    forms.unload("Form1");
    QCOMPARE(forms.loaded("Form1"), nullptr);
    QCOMPARE(ended.size(), 1);
    tessivo::testing::settle();
    QCOMPARE(ended.size(), 1);

    forms.show("Form1");
    QCOMPARE(made, 2);
    forms.end();
    QCOMPARE(ended.size(), 2);
}

QTEST_MAIN(TestQtFormRuntime)
#include "tst_qt_form_runtime.moc"
