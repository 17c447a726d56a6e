#include "qt_application.h"

#include "qt_accessibility.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QWidget>

namespace tessivo::forms {

namespace {

// Fusion paints buttons in their own background colour on every desktop. On top of it: a
// masked box shows "*" and never flashes the last typed character in clear, and Alt alone
// reaches the menu bar as the menus have no access keys.
class TessivoStyle final : public QProxyStyle {
public:
    TessivoStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }
    Q_DISABLE_COPY_MOVE(TessivoStyle)
    ~TessivoStyle() override = default;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        switch (hint) {
        case SH_LineEdit_PasswordCharacter:
            return u'*';
        case SH_LineEdit_PasswordMaskDelay:
            return 0;
        case SH_MenuBar_AltKeyNavigation:
            return 1;
        default:
            return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }
};

// A window of fixed size keeps it whatever the window manager does: some (Weston's X11 window
// manager among them) maximise, go full screen or resize on request although the window says
// it cannot change size. The window goes back to its size as soon as the change is over.
class FixedSizeKeeper final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::WindowStateChange && event->type() != QEvent::Resize) {
            return false;
        }
        auto* window = qobject_cast<QWidget*>(watched);
        // Menus and lists that pop up size themselves; only windows a window manager frames.
        const bool framed = window != nullptr && (window->windowType() == Qt::Window ||
                                                  window->windowType() == Qt::Dialog);
        if (framed && window->minimumSize() == window->maximumSize()) {
            QMetaObject::invokeMethod(
                window, [window] { keepFixedSize(*window); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static void keepFixedSize(QWidget& window)
    {
        constexpr Qt::WindowStates stretched = Qt::WindowMaximized | Qt::WindowFullScreen;
        if ((window.windowState() & stretched) != 0) {
            window.setWindowState(window.windowState() & ~stretched);
        }
        if (window.size() != window.minimumSize()) {
            window.resize(window.minimumSize());
        }
    }
};

} // namespace

void ChoosePlatform()
{
    // The title bar that Qt 6.4's Wayland plugin draws itself has a maximise box on every
    // window, and nothing in Qt's public interface can stop it. A compositor that obeys (Weston
    // does) then finds the fixed-size window still at its size, ends the connection with a
    // protocol error and Tessivo with it, leaving the password on the clipboard. Under X11 the
    // window manager draws the title bar from the window's hints, without a maximise box, and
    // one that resizes the window anyway can do no more than that. Wayland remains the
    // fallback when no X server answers; a platform the user picked is left alone.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY")) {
        return;
    }
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}

void SetUpApplication(QApplication& /*running*/)
{
    QApplication::setApplicationName(QStringLiteral("Tessivo"));
    QApplication::setApplicationVersion(QStringLiteral(TESSIVO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TESSIVO_APP_ID));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(new TessivoStyle); // the application takes ownership
    QApplication::setPalette(QApplication::style()->standardPalette());
    QApplication::instance()->installEventFilter(new FixedSizeKeeper(QApplication::instance()));
    // Before any window exists, so that no keystroke is ever reported in clear.
    MaskAccessibleTextChanges();
}

} // namespace tessivo::forms
