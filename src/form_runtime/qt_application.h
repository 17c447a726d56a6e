#pragma once

class QApplication;

namespace tessivo::forms {

// What the program needs of its platform: windows, or a clipboard without one.
enum class PlatformUse { Windows, WindowlessClipboard };

// Runs Tessivo on X11 (XWayland under a Wayland compositor) whenever an X server is there and
// the user has not picked a platform, except the windows under Weston, which run natively
// there (see qt_application.cpp). Only X11 lets a program without a window own the clipboard.
// Call before the application exists.
void ChoosePlatform(PlatformUse use = PlatformUse::Windows);

// Names the application "Tessivo" (message boxes carry it as their title; it is not set as
// the display name, which X11 and Wayland would append to every window title), gives it a look
// that does not depend on the desktop, and leaves the program's end to `QtForms`.
void SetUpApplication(QApplication& application);

} // namespace tessivo::forms
