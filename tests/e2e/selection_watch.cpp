// Reports every change of owner of the X clipboard and primary selection, one line each:
//   CLIPBOARD none        emptied on purpose (owner set to None)
//   CLIPBOARD owned       taken by a program
//   CLIPBOARD destroyed   its owner's window went away, or its owner disconnected
// That tells an emptied clipboard from one that merely vanished with its program, which no
// read of the clipboard after the program has ended can.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>

int main()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "selection_watch: cannot open the display\n");
        return 1;
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
