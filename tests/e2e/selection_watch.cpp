// Reports every change of owner of the X clipboard and primary selection, one line each:
//   CLIPBOARD none        emptied on purpose (owner set to None)
//   CLIPBOARD owned       taken by a program
//   CLIPBOARD destroyed   its owner's window went away, or its owner disconnected
// That tells an emptied clipboard from one that merely vanished with its program, which no
// read of the clipboard after the program has ended can.
//   selection_watch close WINDOW   asks the window to close, as its close box does
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The close box without a window manager: the same WM_DELETE_WINDOW message a manager sends.
int closeWindow(Display* display, const char* id)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(id, nullptr, 0);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "selection_watch: cannot open the display\n");
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "close") == 0) {
        const int status = closeWindow(display, argv[2]);
        XCloseDisplay(display);
        return status;
    }
    int eventBase = 0;
    int errorBase = 0;
    if (XFixesQueryExtension(display, &eventBase, &errorBase) == 0) {
        std::fprintf(stderr, "selection_watch: the X server has no XFIXES\n");
        return 1;
    }
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const unsigned long mask = XFixesSetSelectionOwnerNotifyMask |
                               XFixesSelectionWindowDestroyNotifyMask |
                               XFixesSelectionClientCloseNotifyMask;
    XFixesSelectSelectionInput(display, DefaultRootWindow(display), clipboard, mask);
    XFixesSelectSelectionInput(display, DefaultRootWindow(display), XA_PRIMARY, mask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != eventBase + XFixesSelectionNotify) {
            continue;
        }
        const auto* notify = reinterpret_cast<const XFixesSelectionNotifyEvent*>(&event);
        const char* name = notify->selection == clipboard ? "CLIPBOARD" : "PRIMARY";
        const char* what = "destroyed";
        if (notify->subtype == XFixesSetSelectionOwnerNotify) {
            what = notify->owner == None ? "none" : "owned";
        }
        std::printf("%s %s\n", name, what);
        std::fflush(stdout);
    }
}
