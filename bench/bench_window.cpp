// The program itself under a virtual X display (Xvfb, llvmpipe), its window
// 1280 x 800, filling the test photo scaled to 4 MP with the bundled flowers
// in Fast, as a user sees it:
// - BM_MenuWhileFilling: from the click on File (sent to the window as the
//   server would) to the first frame showing the menu, while the picture
//   fills;
// - BM_MenuAsTheRunStarts: the same for clicks one after the other from Go
//   through the end of the preparation to the run's first second;
// - BM_WindowRun: the whole run to its end in the window against
//   `daubry fill` on the same photo and samples in the same process's run:
//   stamps per second of each (the window's from the first frame with stamps
//   to the last change, its stamps counted from the project it saves), and
//   the 95th percentile and the longest of the times between the window's
//   frames during the run (the program notes each frame it shows in
//   DAUBRY_FRAME_LOG).
// Needs Xvfb and xdotool (scripts/install-deps installs both); skipped
// without them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "image/image.h"
#include "image/io/image_load.h"
#include "image/io/image_save.h"
#include "image/replacing_file.h"
#include "image/resample.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program measured: this build's, or another build's named by
// DAUBRY_BENCH_PROGRAM, to set two builds side by side.
const char* Program() {
    const char* other = std::getenv("DAUBRY_BENCH_PROGRAM");
    return other && *other ? other : DAUBRY_PROGRAM;
}
constexpr int kWidth = 1280, kHeight = 800;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

pid_t Spawn(const std::vector<std::string>& args, const std::string& log) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (!log.empty()) {
        if (!std::freopen(log.c_str(), "w", stdout) || !std::freopen(log.c_str(), "a", stderr))
            _exit(127);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

int Run(const std::string& command) {
    return std::system(command.c_str());
}

std::string Output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

// A virtual display, the program on it and a work folder, gone with the object.
class Session {
  public:
    std::string error, work, photo;
    Display* display = nullptr;
    Window window = 0;

    Session() {
        char folder[] = "/tmp/daubry-bench-window-XXXXXX";
        if (!mkdtemp(folder)) {
            error = "no work folder";
            return;
        }
        work = folder;
        if (Run("command -v Xvfb >/dev/null && command -v xdotool >/dev/null") != 0) {
            error = "Xvfb or xdotool is not installed";
            return;
        }
        photo = work + "/photo.png";
        if (!WritePhoto()) return;
        std::string name = ":" + std::to_string(90 + getpid() % 100);
        xvfb_ = Spawn({"Xvfb", name, "-screen", "0", "1600x1000x24", "-nolisten", "tcp"},
                      work + "/xvfb.log");
        setenv("DISPLAY", name.c_str(), 1);
        for (int i = 0; i < 100 && !display; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            display = XOpenDisplay(name.c_str());
        }
        if (!display) error = "Xvfb did not start";
        setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1);
        setenv("XDG_STATE_HOME", (work + "/state").c_str(), 1);
        setenv("DAUBRY_FRAME_LOG", FrameLog().c_str(), 1);
        setenv("DAUBRY_RUN_LOG", RunLog().c_str(), 1);
    }
    std::string FrameLog() const { return work + "/frames.log"; }
    std::string RunLog() const { return work + "/runs.log"; }
    ~Session() {
        StopProgram();
        if (display) XCloseDisplay(display);
        if (xvfb_ > 0) kill(xvfb_, SIGTERM), waitpid(xvfb_, nullptr, 0);
        if (!work.empty()) Run("rm -rf '" + work + "'");
    }

    bool StartProgram() {
        program_ = Spawn({Program(), photo}, work + "/app.log");
        for (int i = 0; i < 300 && !window; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            window = Find(DefaultRootWindow(display), "photo.png - Daubry");
        }
        if (!window) return error = "no window named photo.png - Daubry", false;
        Run(Xdo("windowsize --sync " + Id() + " " + std::to_string(kWidth) + " " +
                std::to_string(kHeight)));
        Run(Xdo("windowfocus --sync " + Id()));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return true;
    }
    void StopProgram() {
        if (program_ > 0) kill(program_, SIGKILL), waitpid(program_, nullptr, 0);
        program_ = 0;
        window = 0;
    }

    std::string Xdo(const std::string& what) const {
        return "DISPLAY=" + std::string(getenv("DISPLAY")) + " xdotool " + what;
    }
    std::string Id() const { return std::to_string(window); }
    void Click(int x, int y) const {
        Run(Xdo("mousemove --window " + Id() + " " + std::to_string(x) + " " + std::to_string(y) +
                " click 1"));
    }
    void Key(const std::string& keys) const { Run(Xdo("key --clearmodifiers " + keys)); }
    // A click made through the server's test extension, as a mouse would:
    // without xdotool's own delays (it takes about 160 ms for a click).
    // libXtst is there wherever xdotool is; only its headers may not be.
    bool SendClick(int x, int y) const {
        using Motion = int (*)(Display*, int, int, int, unsigned long);
        using Button = int (*)(Display*, unsigned, Bool, unsigned long);
        static void* library = dlopen("libXtst.so.6", RTLD_NOW);
        if (!library) return false;
        auto motion = reinterpret_cast<Motion>(dlsym(library, "XTestFakeMotionEvent"));
        auto button = reinterpret_cast<Button>(dlsym(library, "XTestFakeButtonEvent"));
        int rootX = 0, rootY = 0;
        Window child = 0;
        if (!motion || !button ||
            !XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX,
                                   &rootY, &child))
            return false;
        motion(display, -1, rootX, rootY, 0);
        button(display, 1, True, 0);
        button(display, 1, False, 0);
        XFlush(display);
        return true;
    }

    // The pixels of a part of the window.
    std::vector<uint32_t> Grab(int x, int y, int width, int height) const {
        std::vector<uint32_t> pixels;
        XImage* image =
            XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        if (!image) return pixels;
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                pixels.push_back(uint32_t(XGetPixel(image, column, row)));
        XDestroyImage(image);
        return pixels;
    }
    // Waits up to seconds for the part to pass the test, looking every
    // pollMs; the time it did, or nothing.
    bool WaitUntil(int x, int y, int width, int height,
                   const std::function<bool(const std::vector<uint32_t>&)>& test, double seconds,
                   Clock::time_point* at = nullptr, int pollMs = 1) const {
        Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
        while (Clock::now() < end) {
            if (test(Grab(x, y, width, height))) {
                if (at) *at = Clock::now();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
        }
        return false;
    }
    // The same until the part becomes (or stops being) like the pixels given.
    bool WaitFor(int x, int y, int width, int height, const std::vector<uint32_t>& like, bool same,
                 double seconds, Clock::time_point* at = nullptr, int pollMs = 1) const {
        auto test = [&](const std::vector<uint32_t>& p) { return (p == like) == same; };
        return WaitUntil(x, y, width, height, test, seconds, at, pollMs);
    }

  private:
    bool WritePhoto() {
        mtxImage source, scaled;
        if (!mtxImageLoad(source, std::string(DAUBRY_TEST_DATA) + "/photos/coffee.png", 0))
            return error = "the test photo cannot be read", false;
        double factor = std::sqrt(4e6 / (double(source.width) * source.height));
        if (!scaled.Create(int(std::lround(source.width * factor)),
                           int(std::lround(source.height * factor)), 0) ||
            ScaleImage(source, scaled) != 1)
            return error = "the test photo cannot be scaled", false;
        mtxReplacingFile file;
        if (!file.Begin(photo) || !mtxImageWritePng(scaled, file) || !file.Commit())
            return error = "the 4 MP photo cannot be written", false;
        return true;
    }
    Window Find(Window at, const std::string& title) const {
        char* name = nullptr;
        if (XFetchName(display, at, &name) && name) {
            bool found = title == name;
            XFree(name);
            XWindowAttributes attributes;
            if (found && XGetWindowAttributes(display, at, &attributes) &&
                attributes.map_state == IsViewable)
                return at;
        }
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display, at, &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; ++i) found = Find(children[i], title);
            if (children) XFree(children);
        }
        return found;
    }

    pid_t xvfb_ = 0, program_ = 0;
};

// Where the controls are in a window of kWidth x kHeight.
constexpr int kGoX = 131, kBarY = kHeight - 23;
constexpr int kViewerX = 300, kViewerY = 200, kViewerSide = 400;  // a part of the picture
constexpr int kRunPollMs = 50;
// The File menu's white over the instrument bar, which has next to none.
constexpr int kMenuX = 0, kMenuY = 26, kMenuWidth = 84, kMenuHeight = 150;
bool MenuShows(const std::vector<uint32_t>& pixels) {
    size_t white = 0;
    for (uint32_t p : pixels) white += (p & 0xFFFFFFu) == 0xFFFFFFu;
    return white * 3 > pixels.size();
}

bool StartFilling(Session& s, benchmark::State& state) {
    if (!s.error.empty() || !s.StartProgram()) {
        state.SkipWithError(s.error.c_str());
        return false;
    }
    std::vector<uint32_t> photo = s.Grab(kViewerX, kViewerY, kViewerSide, kViewerSide);
    s.Click(kGoX, kBarY);
    if (!s.WaitFor(kViewerX, kViewerY, kViewerSide, kViewerSide, photo, false, 120)) {
        state.SkipWithError("no stamps within two minutes of Go");
        return false;
    }
    return true;
}

// Clicks on File and closes the menu with Escape: the seconds from the
// click to the first frame showing the menu, or a negative number when it
// failed (the benchmark is then skipped with the reason).
double OpenAndCloseFileMenu(Session& s, benchmark::State& state) {
    auto closed = [](const std::vector<uint32_t>& pixels) { return !MenuShows(pixels); };
    Clock::time_point clicked = Clock::now(), shown;
    if (!s.SendClick(23, 12)) {
        state.SkipWithError("no libXtst.so.6 to click with");
        return -1;
    }
    if (!s.WaitUntil(kMenuX, kMenuY, kMenuWidth, kMenuHeight, MenuShows, 5, &shown)) {
        state.SkipWithError("the File menu did not show within 5 s");
        return -1;
    }
    s.Key("Escape");
    if (!s.WaitUntil(kMenuX, kMenuY, kMenuWidth, kMenuHeight, closed, 5)) {
        state.SkipWithError("Escape did not close the File menu within 5 s");
        return -1;
    }
    return Seconds(clicked, shown);
}

void BM_MenuWhileFilling(benchmark::State& state) {
    Session s;
    if (!StartFilling(s, state)) return;
    double longest = 0;
    for (auto _ : state) {
        const double wait = OpenAndCloseFileMenu(s, state);
        if (wait < 0) return;
        state.SetIterationTime(wait);
        longest = std::max(longest, wait);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    state.counters["longest ms"] = longest * 1000;
}
BENCHMARK(BM_MenuWhileFilling)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// The first start and the last stop the program noted of its runs, in
// microseconds of the steady clock; 0 when there is none.
std::pair<long long, long long> RunSpan(const std::string& log) {
    std::pair<long long, long long> span{0, 0};
    FILE* file = std::fopen(log.c_str(), "r");
    if (!file) return span;
    long long at = 0;
    char what[16];
    while (std::fscanf(file, "%lld %15s", &at, what) == 2) {
        if (std::string(what) == "start" && !span.first) span.first = at;
        if (std::string(what) == "stop") span.second = at;
    }
    std::fclose(file);
    return span;
}

Clock::time_point AtMicros(long long micros) {
    return Clock::time_point(std::chrono::microseconds(micros));
}

// Clicks on File one after the other from Go on, through the preparation's
// end and the first second of the run: the window has most to do where the
// preparation hands over to the run, and a click landing there waits longest.
void BM_MenuAsTheRunStarts(benchmark::State& state) {
    for (auto _ : state) {
        Session s;
        if (!s.error.empty() || !s.StartProgram()) {
            state.SkipWithError(s.error.c_str());
            return;
        }
        s.Click(kGoX, kBarY);
        const Clock::time_point go = Clock::now();
        std::vector<double> waits;
        long long started = 0;
        while (Seconds(go, Clock::now()) < 120) {
            const double wait = OpenAndCloseFileMenu(s, state);
            if (wait < 0) return;
            waits.push_back(wait * 1000);
            if (!started) started = RunSpan(s.RunLog()).first;
            if (started && Clock::now() > AtMicros(started) + std::chrono::seconds(1)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!started || waits.empty()) {
            state.SkipWithError("the run did not start within two minutes of Go");
            return;
        }
        std::sort(waits.begin(), waits.end());
        state.SetIterationTime(waits.back() / 1000);
        state.counters["clicks"] = double(waits.size());
        state.counters["median ms"] = waits[waits.size() / 2];
        state.counters["longest ms"] = waits.back();
    }
}
BENCHMARK(BM_MenuAsTheRunStarts)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The stamps the last "Drew N stamps" line of `daubry render` counts.
long StampsOf(const std::string& project, const std::string& work) {
    std::string text = Output(std::string(Program()) + " render '" + project + "' -o '" + work +
                              "/render.png' 2>&1");
    size_t at = text.rfind("Drew ");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + 5);
}

// The times between the frames the program showed from to to, in ms, sorted.
std::vector<double> FrameTimes(const std::string& log, Clock::time_point from,
                               Clock::time_point to) {
    auto micros = [](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
    };
    std::vector<double> times;
    long long previous = -1, at = 0;
    FILE* file = std::fopen(log.c_str(), "r");
    if (!file) return times;
    while (std::fscanf(file, "%lld", &at) == 1) {
        if (at < micros(from) || at > micros(to)) continue;
        if (previous >= 0) times.push_back(double(at - previous) / 1000);
        previous = at;
    }
    std::fclose(file);
    std::sort(times.begin(), times.end());
    return times;
}

// A JSON number field of the --report line.
double Field(const std::string& report, const std::string& name) {
    size_t at = report.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::atof(report.c_str() + at + name.size() + 3);
}

void BM_WindowRun(benchmark::State& state) {
    for (auto _ : state) {
        Session s;
        if (!StartFilling(s, state)) return;
        Clock::time_point first = Clock::now(), last = first;
        std::vector<uint32_t> seen = s.Grab(kViewerX, kViewerY, kViewerSide, kViewerSide);
        // The run has ended when a large part of the picture stays still for
        // 3 s. Looking seldom leaves the program the machine's cores: a grab
        // costs the X server and this process about a millisecond each.
        while (s.WaitFor(kViewerX, kViewerY, kViewerSide, kViewerSide, seen, false, 3, &last,
                         kRunPollMs))
            seen = s.Grab(kViewerX, kViewerY, kViewerSide, kViewerSide);
        std::string project = s.work + "/run.daubry";
        s.Key("alt+f");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        s.Key("j");
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        s.Key("ctrl+a");
        Run(s.Xdo("type --delay 10 '" + s.work + "/run'"));
        s.Key("Return");
        struct stat info;
        for (int i = 0; i < 100 && stat(project.c_str(), &info) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        long stamps = StampsOf(project, s.work);
        s.StopProgram();
        if (stamps <= 0) {
            state.SkipWithError("the window's project was not saved or not read");
            return;
        }
        std::string report = Output(std::string(Program()) + " fill '" + s.photo + "' -o '" +
                                    s.work + "/fill.png' --report -q 2>&1");
        // The frames of the run, from its first batch to its stop; before
        // that the window shows the preparation's progress now and then.
        auto [start, stop] = RunSpan(s.RunLog());
        std::vector<double> frames = start && stop
                                         ? FrameTimes(s.FrameLog(), AtMicros(start), AtMicros(stop))
                                         : std::vector<double>{};
        if (!frames.empty()) {
            state.counters["frame p95 ms"] = frames[frames.size() * 95 / 100];
            state.counters["frame longest ms"] = frames.back();
            state.counters["frames"] = double(frames.size() + 1);
        }
        // From the first change of the picture (the background put in, at
        // the preparation's end) to the run's second frame: the longest the
        // window stood still while the run started.
        std::vector<double> preparing =
            FrameTimes(s.FrameLog(), first, AtMicros(start) + std::chrono::milliseconds(100));
        if (!preparing.empty()) state.counters["preparing longest ms"] = preparing.back();
        state.counters["window stamps/s"] = double(stamps) / Seconds(first, last);
        state.counters["window stamps"] = double(stamps);
        state.counters["fill stamps/s"] = Field(report, "stamps_per_second");
        state.counters["fill stamps"] = Field(report, "stamps");
    }
}
BENCHMARK(BM_WindowRun)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
