// close_x_window TITLE: waits until a top-level window titled TITLE is mapped
// on the X display, prints its geometry, and closes it as a window manager's
// close button does (WM_DELETE_WINDOW). Exits 1 when no such window appears.
// close_x_window --keep TITLE: waits for it the same way and leaves it open.
// close_x_window --absent TITLE: exits 0 when no window titled TITLE is shown now, 1 otherwise.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// A viewable window below `w` named `title`, or 0.
Window Find(Display* display, Window w, const char* title) {
    XTextProperty name;
    if (XGetWMName(display, w, &name) != 0 && name.value != nullptr) {
        const bool same = std::strcmp(reinterpret_cast<const char*>(name.value), title) == 0;
        XFree(name.value);
        XWindowAttributes attributes;
        if (same && XGetWindowAttributes(display, w, &attributes) != 0 && attributes.map_state == IsViewable)
            return w;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, w, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) found = Find(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    const bool absent = argc == 3 && std::strcmp(argv[1], "--absent") == 0;
    const bool keep = argc == 3 && std::strcmp(argv[1], "--keep") == 0;
    if (argc != 2 && !absent && !keep) return 2;
    const char* const title = argv[argc - 1];
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    if (absent) {
        const Window shown = Find(display, DefaultRootWindow(display), title);
        XCloseDisplay(display);
        if (shown != 0) std::fprintf(stderr, "a window titled %s is shown\n", title);
        return shown == 0 ? 0 : 1;
    }
    Window window = 0;
    for (int tries = 0; tries < 200 && window == 0; ++tries) {
        window = Find(display, DefaultRootWindow(display), title);
        if (window == 0) usleep(100000);
    }
    if (window == 0) {
        std::fprintf(stderr, "no window titled %s\n", title);
        return 1;
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    std::printf("%s %dx%d+%d+%d\n", title, attributes.width, attributes.height, attributes.x, attributes.y);
    std::fflush(stdout);
    if (keep) {
        XCloseDisplay(display);
        return 0;
    }

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return 0;
}
