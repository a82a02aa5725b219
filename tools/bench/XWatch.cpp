// Watches the X display for the benchmark and prints when something appeared, as
// CLOCK_REALTIME nanoseconds (the clock of `date +%s%N`), so a script can subtract the time it
// started a program. Map events arrive as they happen, without polling; pixels are polled.
//   bench_xwatch [-i MS] map TIMEOUT NAME                  a top-level window NAME is mapped
//   bench_xwatch [-i MS] pixels TIMEOUT X,Y,RRGGBB ...     every listed pixel has its colour
//   bench_xwatch [-i MS] page TIMEOUT NAME X,Y,RRGGBB ...  both in turn: "MAPPED PAINTED"
// Pixels are read every MS milliseconds (2 unless given: a start-up picture is timed to a few
// milliseconds; a long wait can ask for less often, to leave the processor to the program).
// Exit status 1 on a timeout (TIMEOUT in seconds), 2 on a usage error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

int64_t NowNs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

struct Pixel {
  int x = 0, y = 0;
  unsigned long rgb = 0;
};

class Watcher {
 public:
  Watcher(Display* display, double timeoutSeconds)
      : display_(display),
        root_(DefaultRootWindow(display)),
        deadline_(NowNs(CLOCK_MONOTONIC) + static_cast<int64_t>(timeoutSeconds * 1e9)) {
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
  }

  /// Waits for a viewable child of the root window named `name`; false on timeout.
  bool WaitMapped(const std::string& name) {
    // Listen first, then look at what is there: a window mapped in between is not missed.
    XSelectInput(display_, root_, SubstructureNotifyMask);
    Window rootReturn, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) {
      for (unsigned i = 0; i < count; ++i) {
        XSelectInput(display_, children[i], PropertyChangeMask);
      }
      for (unsigned i = 0; i < count; ++i) {
        if (Viewable(children[i]) && NameOf(children[i]) == name) {
          XFree(children);
          return true;
        }
      }
      XFree(children);
    }
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        Window window = 0;
        if (event.type == CreateNotify) {
          // Its name may be set after the map; watch the window's properties from now on.
          XSelectInput(display_, event.xcreatewindow.window, PropertyChangeMask);
        } else if (event.type == MapNotify) {
          window = event.xmap.window;
        } else if (event.type == PropertyNotify) {
          window = event.xproperty.window;
        }
        if (window != 0 && Viewable(window) && NameOf(window) == name) return true;
      }
      if (!WaitForEvents(50)) return false;
    }
  }

  /// Polls the listed pixels every `intervalMs`; true once all have their colours.
  bool WaitPixels(const std::vector<Pixel>& pixels, int intervalMs) {
    for (;;) {
      bool all = true;
      for (const Pixel& p : pixels) {
        XImage* image = XGetImage(display_, root_, p.x, p.y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        const unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        if (value != p.rgb) {
          all = false;
          break;
        }
      }
      if (all) return true;
      if (NowNs(CLOCK_MONOTONIC) > deadline_) return false;
      const timespec pause{0, intervalMs * 1000000L};
      nanosleep(&pause, nullptr);
    }
  }

 private:
  bool Viewable(Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) &&
           attributes.map_state == IsViewable;
  }

  // _NET_WM_NAME (UTF-8) where the window has it, else WM_NAME.
  std::string NameOf(Window window) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display_, window, netWmName_, 0, 1024, False, utf8String_, &type,
                           &format, &items, &after, &data) == Success &&
        data != nullptr && type == utf8String_) {
      name.assign(reinterpret_cast<char*>(data), items);
    } else {
      char* plain = nullptr;
      if (XFetchName(display_, window, &plain) && plain != nullptr) {
        name = plain;
        XFree(plain);
      }
    }
    if (data != nullptr) XFree(data);
    return name;
  }

  // Waits for the X connection to have input, at most `maxMs`; false once the deadline passed.
  bool WaitForEvents(int maxMs) {
    const int64_t left = (deadline_ - NowNs(CLOCK_MONOTONIC)) / 1000000;
    if (left <= 0) return false;
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left < maxMs ? left : maxMs));
    return true;
  }

  Display* display_;
  Window root_;
  int64_t deadline_;
  Atom netWmName_ = 0;
  Atom utf8String_ = 0;
};

bool ParsePixel(const char* text, Pixel& pixel) {
  char hex[7] = {};
  if (std::sscanf(text, "%d,%d,%6[0-9a-fA-F]", &pixel.x, &pixel.y, hex) != 3) return false;
  if (std::strlen(hex) != 6) return false;
  pixel.rgb = std::strtoul(hex, nullptr, 16);
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_xwatch [-i MS] map TIMEOUT NAME\n"
               "       bench_xwatch [-i MS] pixels TIMEOUT X,Y,RRGGBB...\n"
               "       bench_xwatch [-i MS] page TIMEOUT NAME X,Y,RRGGBB...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int next = 1;
  int intervalMs = 2;
  if (argc > 2 && std::strcmp(argv[1], "-i") == 0) {
    intervalMs = std::atoi(argv[2]);
    next = 3;
  }
  if (argc < next + 3 || intervalMs < 1) return Usage();
  const std::string mode = argv[next++];
  const double timeout = std::atof(argv[next++]);
  std::string name;
  if (mode == "map" || mode == "page") name = argv[next++];
  std::vector<Pixel> pixels;
  for (; next < argc; ++next) {
    Pixel pixel;
    if (!ParsePixel(argv[next], pixel)) return Usage();
    pixels.push_back(pixel);
  }
  if ((mode == "map" && !pixels.empty()) || (mode != "map" && pixels.empty()) ||
      (mode != "map" && mode != "pixels" && mode != "page")) {
    return Usage();
  }

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "bench_xwatch: cannot open the display\n");
    return 2;
  }
  Watcher watcher(display, timeout);
  int status = 0;
  if (!name.empty()) {
    if (!watcher.WaitMapped(name)) {
      status = 1;
    } else {
      std::printf("%lld", static_cast<long long>(NowNs(CLOCK_REALTIME)));
    }
  }
  if (status == 0 && !pixels.empty()) {
    if (!watcher.WaitPixels(pixels, intervalMs)) {
      status = 1;
    } else {
      std::printf("%s%lld", name.empty() ? "" : " ", static_cast<long long>(NowNs(CLOCK_REALTIME)));
    }
  }
  std::printf("\n");
  XCloseDisplay(display);
  if (status != 0) std::fprintf(stderr, "bench_xwatch: timed out after %g s\n", timeout);
  return status;
}
