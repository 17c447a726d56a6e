#pragma once

class QApplication;

namespace tessivo::forms {

// Names the application "Tessivo" (message boxes carry it as their title; it is not set as
// the display name, which X11 and Wayland would append to every window title), gives it a look
// that does not depend on the desktop, and leaves the program's end to `QtForms`.
void SetUpApplication(QApplication& application);

} // namespace tessivo::forms
