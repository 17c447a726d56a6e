#include "qt_application.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

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

} // namespace

void SetUpApplication(QApplication& /*running*/)
{
    QApplication::setApplicationName(QStringLiteral("Tessivo"));
    QApplication::setApplicationVersion(QStringLiteral("1.2"));
    QApplication::setDesktopFileName(QStringLiteral(TESSIVO_APP_ID));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(new TessivoStyle); // the application takes ownership
    QApplication::setPalette(QApplication::style()->standardPalette());
}

} // namespace tessivo::forms
