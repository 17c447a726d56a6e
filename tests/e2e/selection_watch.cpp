// Reports every change of owner of the X clipboard and primary selection, one line each:
//   CLIPBOARD none        emptied on purpose (owner set to None)
//   CLIPBOARD owned       taken by a program
//   CLIPBOARD destroyed   its owner's window went away, or its owner disconnected
// That tells an emptied clipboard from one that merely vanished with its program, which no
// read of the clipboard after the program has ended can.
//   selection_watch offers         also reads what each new owner of the clipboard offers:
//   CLIPBOARD offers secret        its text is marked as a secret for clipboard histories
//   CLIPBOARD offers plain TEXT    it is not: a history keeps TEXT
// Each read is a request the owner sees, which is why only this mode reads.
//   selection_watch close WINDOW   asks the window to close, as its close box does
//   selection_watch gone WINDOW    says "ready", then, once the window leaves the screen, the
//                                  time (CLOCK_REALTIME, nanoseconds) it went
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

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

// The bytes of `target` of `selection` as its owner converts it for `window` (Xlib hands 32-bit
// items over as longs); empty if the owner gives nothing within a second.
std::string convert(Display* display, Window window, Atom selection, const char* target)
{
    const Atom property = XInternAtom(display, "TESSIVO_WATCH", False);
    XConvertSelection(display, selection, XInternAtom(display, target, False), property, window,
                      CurrentTime);
    XEvent event{};
    for (int i = 0; i < 100; ++i) {
        if (XCheckTypedWindowEvent(display, window, SelectionNotify, &event) != 0) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0;
            unsigned long after = 0;
            unsigned char* data = nullptr;
            if (event.xselection.property == None ||
                XGetWindowProperty(display, window, property, 0, 1 << 16, True, AnyPropertyType,
                                   &type, &format, &count, &after, &data) != Success ||
                data == nullptr) {
                return {};
            }
            const std::string value(
                reinterpret_cast<const char*>(data),
                count * (format == 32 ? sizeof(long) : static_cast<std::size_t>(format) / 8));
            XFree(data);
            return value;
        }
        usleep(10000);
    }
    return {};
}

void reportOffer(Display* display, Window window, Atom selection)
{
    const std::string targets = convert(display, window, selection, "TARGETS");
    const auto secret = static_cast<long>(XInternAtom(display, "x-kde-passwordManagerHint", False));
    for (std::size_t at = 0; at + sizeof(long) <= targets.size(); at += sizeof(long)) {
        long atom = 0;
        std::memcpy(&atom, targets.data() + at, sizeof atom);
        if (atom == secret) {
            std::printf("CLIPBOARD offers secret\n");
            return;
        }
    }
    std::printf("CLIPBOARD offers plain %s\n",
                convert(display, window, selection, "UTF8_STRING").c_str());
}

int reportGone(Display* display, const char* id)
{
    const Window window = std::strtoul(id, nullptr, 0);
    XSelectInput(display, window, StructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == UnmapNotify || event.type == DestroyNotify) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::printf("%lld%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
            return 0;
        }
    }
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
    if (argc == 3 && std::strcmp(argv[1], "gone") == 0) {
        const int status = reportGone(display, argv[2]);
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
    const Window reader =
        argc == 2 && std::strcmp(argv[1], "offers") == 0
            ? XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
            : None;
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
        if (reader != None && notify->selection == clipboard && std::strcmp(what, "owned") == 0) {
            reportOffer(display, reader, clipboard);
        }
        std::fflush(stdout);
    }
}
