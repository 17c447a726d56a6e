#include "form2_window.h"
#include "message_service.h"
#include "qt_forms.h"
#include "qt_test_helpers.h"
#include "recording_messages.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using tessivo::info_window::Form2Window;
using tessivo::testing::settle;

// Finds a control of the information window by its object name, or fails the test naming it.
Q_DECLARE_METATYPE(QPalette::ColorRole)

namespace {

// Every role the window reads gets a colour of its own, so a mix-up of roles shows.
QPalette distinctPalette()
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::HighlightedText, QColor(0xFE, 0xFD, 0xFC));
    palette.setColor(QPalette::ButtonText, QColor(0x10, 0x20, 0x30));
    palette.setColor(QPalette::Highlight, QColor(0x20, 0x60, 0xC0));
    palette.setColor(QPalette::Button, QColor(0xA0, 0xA0, 0x90));
    palette.setColor(QPalette::Window, QColor(0xE0, 0xD0, 0xC0));
    palette.setColor(QPalette::WindowText, QColor(0x40, 0x00, 0x40));
    palette.setColor(QPalette::Base, QColor(0xF0, 0xF0, 0xE0));
    return palette;
}

} // namespace

class TestForm2Window : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void noTitleBarNoTaskbarNoIcon();
    void fixedSizeCentredOnScreen();
    void controls_data();
    void controls();
    void systemColours_data();
    void systemColours();
    void bannerAtNaturalSizeCroppedByTheEdges();
    void stacking_data();
    void stacking();
    void onlyTheButtonTakesFocus();
    void keys_data();
    void keys();

private:
    QWidget& window() { return *m_forms->loaded("Form2"); }

    tessivo::testing::RecordingMessages m_messages;
    std::unique_ptr<tessivo::forms::QtForms> m_forms;
};

void TestForm2Window::initTestCase() { QApplication::setPalette(distinctPalette()); }

void TestForm2Window::init()
{
    m_forms = std::make_unique<tessivo::forms::QtForms>();
    m_forms->define("Form2",
                    [this] { return std::make_unique<Form2Window>(*m_forms, m_messages); });
    // The button goes back to the main window; a stand-in is enough to see it come.
    m_forms->define("Form1", [] {
        auto form1 = std::make_unique<QWidget>();
        form1->setObjectName(QStringLiteral("Form1"));
        return form1;
    });
    m_forms->show("Form2");
    QVERIFY2(m_forms->loaded("Form2") != nullptr, "showing Form2 must load it");
}

void TestForm2Window::cleanup()
{
    m_forms.reset();
    settle();
    QVERIFY2(m_messages.shown.isEmpty(), "Form2 shows no messages");
}

void TestForm2Window::noTitleBarNoTaskbarNoIcon()
{
    QCOMPARE(window().windowType(), Qt::Tool);
    QVERIFY2(window().windowFlags().testFlag(Qt::FramelessWindowHint),
             "no title bar: no caption, system menu or boxes to close, move or resize by");
    QVERIFY2(window().windowTitle().isEmpty(), "the caption is empty");
    QVERIFY2(!window().testAttribute(Qt::WA_SetWindowIcon), "Form2 has no icon of its own");
    QVERIFY2(window().parentWidget() == nullptr, "Form2 has no owner");
}

void TestForm2Window::fixedSizeCentredOnScreen()
{
    FIND(QWidget, client, "Form2Client");
    QCOMPARE(client->size(), QSize(257, 243));
    QCOMPARE(client->minimumSize(), client->maximumSize());
    QCOMPARE(window().minimumSize(), window().maximumSize());
    QCOMPARE(window().size(), window().minimumSize());
    // The frame surrounds the client area evenly.
    const QRect inside = client->geometry();
    QCOMPARE(inside.left(), window().width() - 1 - inside.right());
    QCOMPARE(inside.top(), window().height() - 1 - inside.bottom());

    const QPoint offCentre =
        window().frameGeometry().center() - window().screen()->availableGeometry().center();
    // Halving an odd size rounds one way or the other.
    QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1,
             qPrintable(QStringLiteral("Form2 is %1,%2 px off the screen's centre")
                            .arg(offCentre.x())
                            .arg(offCentre.y())));
}

void TestForm2Window::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<qreal>("points");

    QTest::newRow("Command1") << QStringLiteral("Command1") << QRect(216, 208, 33, 25)
                              << QStringLiteral("ESC") << 8.25;
    QTest::newRow("Label1") << QStringLiteral("Label1") << QRect(8, 168, 241, 17)
                            << QStringLiteral("Software   Tessivo  1.1 ") << 9.75;
    QTest::newRow("Label2") << QStringLiteral("Label2") << QRect(8, 192, 241, 17)
                            << QStringLiteral("16  agosto  2004") << 9.75;
    QTest::newRow("Label3") << QStringLiteral("Label3") << QRect(8, 216, 241, 17)
                            << QStringLiteral("By  Vandro 33") << 9.75;
}

void TestForm2Window::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QFETCH(QString, caption);
    QFETCH(qreal, points);

    auto* control = window().findChild<QWidget*>(name);
    QVERIFY2(control != nullptr,
             qPrintable(QString(QStringLiteral("Form2 has no control named ") + name)));
    QCOMPARE(control->parentWidget()->objectName(), QStringLiteral("Form2Client"));
    QCOMPARE(control->geometry(), place);
    QCOMPARE(control->font().pointSizeF(), points);
    QCOMPARE(control->font().weight(), QFont::Bold);

    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), caption);
        QVERIFY2(!button->isDefault() && !button->autoDefault(), "ESC is not a default button");
        return;
    }
    auto* label = qobject_cast<QLabel*>(control);
    QVERIFY2(label != nullptr, qPrintable(QString(name + QStringLiteral(" must be a label"))));
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QVERIFY2(!label->wordWrap(), "labels hold one line");
    QCOMPARE(label->frameShape(), QFrame::NoFrame);
    QVERIFY2(label->autoFillBackground(), "labels paint their background");
}

void TestForm2Window::systemColours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::addColumn<QPalette::ColorRole>("system");

    QTest::newRow("client background: title-bar text")
        << QStringLiteral("Form2Client") << QPalette::Window << QPalette::HighlightedText;
    QTest::newRow("ESC background: highlighted text")
        << QStringLiteral("Command1") << QPalette::Button << QPalette::HighlightedText;
    QTest::newRow("ESC text: button text")
        << QStringLiteral("Command1") << QPalette::ButtonText << QPalette::ButtonText;
    QTest::newRow("Label1 background: title-bar text")
        << QStringLiteral("Label1") << QPalette::Window << QPalette::HighlightedText;
    QTest::newRow("Label1 text: button text")
        << QStringLiteral("Label1") << QPalette::WindowText << QPalette::ButtonText;
    QTest::newRow("Label2 background: highlighted text")
        << QStringLiteral("Label2") << QPalette::Window << QPalette::HighlightedText;
    QTest::newRow("Label2 text: button text")
        << QStringLiteral("Label2") << QPalette::WindowText << QPalette::ButtonText;
    QTest::newRow("Label3 background: highlighted text")
        << QStringLiteral("Label3") << QPalette::Window << QPalette::HighlightedText;
    QTest::newRow("Label3 text: highlight")
        << QStringLiteral("Label3") << QPalette::WindowText << QPalette::Highlight;
}

void TestForm2Window::systemColours()
{
    QFETCH(QString, name);
    QFETCH(QPalette::ColorRole, role);
    QFETCH(QPalette::ColorRole, system);

    auto* control = window().findChild<QWidget*>(name);
    QVERIFY2(control != nullptr,
             qPrintable(QString(QStringLiteral("Form2 has no control named ") + name)));
    QCOMPARE(control->palette().color(role), QApplication::palette().color(system));
}

void TestForm2Window::bannerAtNaturalSizeCroppedByTheEdges()
{
    FIND(QLabel, banner, "Image1");
    const QImage source(QStringLiteral(":/tessivo/banner.jpg"));
    QVERIFY2(!source.isNull(), "the banner cannot be decoded: is Qt's JPEG plugin installed?");
    QCOMPARE(source.size(), QSize(303, 206));
    QVERIFY2(!banner->pixmap().isNull(), "Image1 shows no picture");
    QCOMPARE(banner->pixmap().size(), source.size());
    QVERIFY2(!banner->hasScaledContents(), "the banner is shown at its own size");
    QCOMPARE(banner->geometry(), QRect(QPoint(-32, -24), source.size()));

    // What the window shows at a client point is the banner's pixel 32 across and 24 down.
    FIND(QWidget, client, "Form2Client");
    const QImage shown = client->grab().toImage();
    for (const QPoint at : {QPoint(0, 0), QPoint(10, 10), QPoint(256, 100), QPoint(120, 160)}) {
        QCOMPARE(shown.pixelColor(at), source.pixelColor(at + QPoint(32, 24)));
    }
}

void TestForm2Window::stacking_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("front");

    QTest::newRow("ESC over Label3") << QPoint(230, 225) << QStringLiteral("Command1");
    QTest::newRow("Label1 over the banner") << QPoint(100, 175) << QStringLiteral("Label1");
    QTest::newRow("banner alone") << QPoint(100, 100) << QStringLiteral("Image1");
    QTest::newRow("Label3 beside ESC") << QPoint(100, 225) << QStringLiteral("Label3");
}

void TestForm2Window::stacking()
{
    QFETCH(QPoint, at);
    QFETCH(QString, front);

    FIND(QWidget, client, "Form2Client");
    QWidget* found = client->childAt(at);
    QVERIFY2(found != nullptr, "a control must lie there");
    QCOMPARE(found->objectName(), front);
}

void TestForm2Window::onlyTheButtonTakesFocus()
{
    FIND(QPushButton, button, "Command1");
    QStringList focusable;
    for (const QWidget* widget : window().findChildren<QWidget*>()) {
        if (widget->focusPolicy() != Qt::NoFocus) {
            focusable.append(widget->objectName());
        }
    }
    QCOMPARE(focusable, QStringList{QStringLiteral("Command1")});

    QVERIFY(QTest::qWaitForWindowActive(&window()));
    QCOMPARE(QApplication::focusWidget(), button);
    QTest::keyClick(button, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button);
}

void TestForm2Window::keys_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<bool>("presses");

    QTest::newRow("Space") << Qt::Key_Space << true;
    QTest::newRow("Esc") << Qt::Key_Escape << false;
    QTest::newRow("Return") << Qt::Key_Return << false;
    QTest::newRow("Enter") << Qt::Key_Enter << false;
}

void TestForm2Window::keys()
{
    QFETCH(Qt::Key, key);
    QFETCH(bool, presses);

    FIND(QPushButton, button, "Command1");
    QVERIFY(QTest::qWaitForWindowActive(&window()));
    QSignalSpy clicked(button, &QPushButton::clicked);
    const QPointer<QWidget> form2 = &window();
    QCOMPARE(QApplication::focusWidget(), button);
    QTest::keyClick(button, key);
    settle();

    QCOMPARE(clicked.count(), presses ? 1 : 0);
    QCOMPARE(form2.isNull(), presses);
    QCOMPARE(m_forms->loaded("Form2") == nullptr, presses);
    QCOMPARE(m_forms->loaded("Form1") != nullptr, presses);
}

QTEST_MAIN(TestForm2Window)
#include "tst_form2_window.moc"
