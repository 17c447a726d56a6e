#pragma once

namespace tessivo::clipboard {

// What the program needs of its platform: windows, or a clipboard without one.
enum class PlatformUse { Windows, WindowlessClipboard };

// Runs Tessivo on X11 (XWayland under a Wayland compositor) whenever an X server is there and
// the user has not picked a platform, except the windows under Weston, which run natively
// there (see qt_platform.cpp). Only X11 lets a program without a window own the clipboard.
// Call before the application exists.
void ChoosePlatform(PlatformUse use = PlatformUse::Windows);

} // namespace tessivo::clipboard
