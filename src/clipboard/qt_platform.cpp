#include "qt_platform.h"

#include "wayland_clipboard.h"

#include <QByteArray>
#include <QtGlobal>

namespace tessivo::clipboard {

void ChoosePlatform(PlatformUse use)
{
    // Where an X server answers (DISPLAY is set), X11 is the platform: there the window
    // manager draws the title bar from the window's hints, without a maximise box, and the
    // clipboard rules are those of X11, with the Wayland side reached through data-control
    // (see qt_clipboard.cpp). Weston offers no data-control, and its own clipboard keeps
    // serving Wayland clients the password, unmarked, after END has emptied the X side: there
    // the windows run natively, where Qt offers the mark and empties the Wayland clipboard
    // itself. A platform the user picked is left alone.
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY")) {
        return;
    }
    const bool weston = use == PlatformUse::Windows &&
                        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                        WaylandClipboard::probe().weston;
    qputenv("QT_QPA_PLATFORM", weston ? "wayland;xcb" : "xcb;wayland");
}

} // namespace tessivo::clipboard
