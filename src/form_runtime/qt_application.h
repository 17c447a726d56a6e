#pragma once

class QApplication;

namespace tessivo::forms {

// Runs Tessivo on X11 (XWayland under a Wayland compositor) whenever an X server is there and
// the user has not picked a platform: Qt 6.4's Wayland plugin is ended by the compositor when
// its own title bar maximises the fixed-size window. Call before the application exists.
void ChoosePlatform();

// Names the application "Tessivo" (message boxes carry it as their title; it is not set as
// the display name, which X11 and Wayland would append to every window title), gives it a look
// that does not depend on the desktop, and leaves the program's end to `QtForms`.
void SetUpApplication(QApplication& application);

} // namespace tessivo::forms
