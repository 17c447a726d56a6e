#include "qt_application.h"

#include "qt_accessibility.h"

#include <QApplication>
#include <QLayout>
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
// On Wayland the title bar Qt draws itself offers to maximise every window, and a compositor
// that maximises (Weston) ends the connection when the window then keeps its size. There a
// fixed-size window may take any size at least its own: its content stays as laid out, and
// the window goes back at once.
class FixedSizeKeeper final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::WindowStateChange && type != QEvent::Resize && type != QEvent::Show) {
            return false;
        }
        auto* window = qobject_cast<QWidget*>(watched);
        // Menus and lists that pop up size themselves; only windows a window manager frames.
        const bool framed = window != nullptr && (window->windowType() == Qt::Window ||
                                                  window->windowType() == Qt::Dialog);
        if (!framed || !keptSize(*window).isValid()) {
            return false;
        }
        if (type == QEvent::Show) {
            if (onWayland()) {
                // After the window's own show handling, which may fix its size again.
                QMetaObject::invokeMethod(
                    window, [window] { acceptAnySize(*window); }, Qt::QueuedConnection);
            }
            return false;
        }
        // The state as the window manager set it with this change, before any answer below.
        const bool wasStretched = (window->windowState() & Stretched) != 0;
        QMetaObject::invokeMethod(
            window,
            [window, resized = type == QEvent::Resize, wasStretched] {
                keepFixedSize(*window, resized && !wasStretched);
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    static constexpr const char* KeptSize = "tessivoKeptSize";
    static constexpr Qt::WindowStates Stretched = Qt::WindowMaximized | Qt::WindowFullScreen;

    static bool onWayland() { return QGuiApplication::platformName().startsWith(u"wayland"); }

    static QSize keptSize(const QWidget& window)
    {
        const QSize kept = window.property(KeptSize).toSize();
        if (kept.isValid()) {
            return kept;
        }
        return window.minimumSize() == window.maximumSize() ? window.minimumSize() : QSize();
    }

    static void acceptAnySize(QWidget& window)
    {
        const QSize size = keptSize(window);
        if (!size.isValid() || window.property(KeptSize).isValid()) {
            return;
        }
        window.setProperty(KeptSize, size);
        if (window.layout() != nullptr) {
            window.layout()->setSizeConstraint(QLayout::SetMinimumSize);
        }
        window.setMinimumSize(size);
        window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    // A Wayland compositor takes a window out of maximised or full-screen state only when it
    // answers the request, and ends the connection if the window takes another size before
    // then: there the size goes back with the answer, or on a resize in normal state.
    static void keepFixedSize(QWidget& window, bool resizedInNormalState)
    {
        if ((window.windowState() & Stretched) != 0) {
            window.setWindowState(window.windowState() & ~Stretched);
            if (onWayland()) {
                return;
            }
        }
        const QSize size = keptSize(window);
        if (size.isValid() && window.size() != size && (resizedInNormalState || !onWayland())) {
            window.resize(size);
        }
    }
};

} // namespace

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
