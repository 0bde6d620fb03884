// Drops files on an X window as a file manager does, by the XDND protocol
// (version 5): enter, position, drop, the file list handed over through the
// XdndSelection selection as text/uri-list, and the target's finished.
//
//   xdnd_drop <window-id> <x> <y> <path>...
//
// x and y are in the window's coordinates. Exits 0 once the target has
// accepted and finished the drop, 1 with a message otherwise.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

Display* gDisplay;
Window gSource;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "xdnd_drop: %s\n", what);
    std::exit(1);
}

Atom A(const char* name) {
    return XInternAtom(gDisplay, name, False);
}

void Send(Window target, const char* type, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = gDisplay;
    e.xclient.window = target;
    e.xclient.message_type = A(type);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(gSource);
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(gDisplay, target, False, NoEventMask, &e);
    XFlush(gDisplay);
}

// An address of a path: file:// and the path with what may not stand in an
// address percent-encoded.
std::string Uri(const std::string& path) {
    std::string out = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) ||
            std::string("/-._~").find(static_cast<char>(c)) != std::string::npos) {
            out += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

// Waits up to 5 s for a client message of the given type, answering the
// target's request for the file list meanwhile.
bool Await(const char* type, const std::string& uris, XEvent& got) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        while (XPending(gDisplay)) {
            XEvent e;
            XNextEvent(gDisplay, &e);
            if (e.type == SelectionRequest) {
                XSelectionRequestEvent& r = e.xselectionrequest;
                XEvent reply{};
                reply.xselection.type = SelectionNotify;
                reply.xselection.display = gDisplay;
                reply.xselection.requestor = r.requestor;
                reply.xselection.selection = r.selection;
                reply.xselection.target = r.target;
                reply.xselection.time = r.time;
                reply.xselection.property = None;
                if (r.target == A("text/uri-list") && r.property != None) {
                    XChangeProperty(gDisplay, r.requestor, r.property, r.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(uris.data()),
                                    static_cast<int>(uris.size()));
                    reply.xselection.property = r.property;
                }
                XSendEvent(gDisplay, r.requestor, False, NoEventMask, &reply);
                XFlush(gDisplay);
            } else if (e.type == ClientMessage && e.xclient.message_type == A(type)) {
                got = e;
                return true;
            }
        }
        struct timespec pause {
            0, 10 * 1000 * 1000
        };
        nanosleep(&pause, nullptr);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) Fail("usage: xdnd_drop <window-id> <x> <y> <path>...");
    gDisplay = XOpenDisplay(nullptr);
    if (!gDisplay) Fail("cannot open the display");
    Window target = std::strtoul(argv[1], nullptr, 0);
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    std::string uris;
    for (int i = 4; i < argc; ++i) uris += Uri(argv[i]) + "\r\n";

    // The target must say it takes drops, and which protocol version.
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(gDisplay, target, A("XdndAware"), 0, 1, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success ||
        count == 0)
        Fail("the window is not XdndAware: it takes no drops");
    long version = *reinterpret_cast<long*>(data);
    XFree(data);
    if (version < 5) Fail("the window speaks an XDND version older than 5");

    gSource = XCreateSimpleWindow(gDisplay, DefaultRootWindow(gDisplay), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(gDisplay, A("XdndSelection"), gSource, CurrentTime);
    Window child;
    int rootX = 0, rootY = 0;
    XTranslateCoordinates(gDisplay, target, DefaultRootWindow(gDisplay), x, y, &rootX, &rootY,
                          &child);

    XEvent got;
    Send(target, "XdndEnter", 5L << 24, static_cast<long>(A("text/uri-list")), 0, 0);
    Send(target, "XdndPosition", 0, (static_cast<long>(rootX) << 16) | rootY, CurrentTime,
         static_cast<long>(A("XdndActionCopy")));
    if (!Await("XdndStatus", uris, got)) Fail("no XdndStatus from the window");
    if (!(got.xclient.data.l[1] & 1)) Fail("the window refused the files");
    Send(target, "XdndDrop", 0, CurrentTime, 0, 0);
    if (!Await("XdndFinished", uris, got)) Fail("the window did not finish the drop");
    XDestroyWindow(gDisplay, gSource);
    XCloseDisplay(gDisplay);
    return 0;
}
