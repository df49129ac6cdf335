// The real `demo` program as a person runs it: its exit codes as the shell sees them, and a
// window under a virtual X server (Xvfb) driven by real key presses and a real close request.
#include "process_capture.h"
#include "run_folder.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kDemo = std::string(DEMO_BINARY_DIR) + "/demo";
// In the sanitizer build, what SDL's system libraries keep until the end is not our leak.
const std::string kLeakRules =
    std::string("LSAN_OPTIONS=suppressions=") + DEMO_SOURCE_DIR + "/tests/lsan.supp";
// In a real X display the exit-time leak scan is left out: LeakSanitizer's tracer, which stops
// every thread to scan it, once crashed there (signal 11, exit code 1) after the program had done
// everything right. The same code's leaks are still scanned in the runs with SDL's dummy driver.
const std::string kNoLeakScan = "LSAN_OPTIONS=detect_leaks=0";

// Starts a program with extra environment entries, in the working directory; its standard
// output goes to `outputPath` when one is given.
pid_t Start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const std::string& outputPath = "") {
    pid_t pid = fork();
    if (pid == 0) {
        if (!outputPath.empty() && !std::freopen(outputPath.c_str(), "w", stdout))
            _exit(126);
        for (const std::string& entry : environment)
            putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The exit status of the program, or -1 if it has not ended within the time (it is killed).
int WaitForExit(pid_t pid, std::chrono::seconds limit) {
    auto deadline = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

bool Installed(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(Program, EndsWithOneAndTheSoundLibrarysTextWhenTheMusicIsMissing) {
    TempWorkingDirectory folder;
    WriteFileBytes("sniffer.txt", "left by an earlier tool");
    pid_t demo = Start({kDemo}, {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", kLeakRules},
                       "printed.txt");
    EXPECT_EQ(WaitForExit(demo, std::chrono::seconds(20)), 1);
    EXPECT_FALSE(fs::exists("sniffer.txt"));
    EXPECT_EQ(ReadFileBytes("printed.txt"),
              "MIDAS error: Unable to read module file data/mirel.xm: No such file or directory\n");
}

TEST(Program, FatalErrorsReachTheShellAsFifteen) {
    // 9999 keeps its low 8 bits on POSIX: 9999 = 39 * 256 + 15.
    TempWorkingDirectory folder;
    PrepareRunFolder();
    pid_t demo =
        Start({kDemo}, {"SDL_VIDEODRIVER=no-such-driver", "SDL_AUDIODRIVER=dummy", kLeakRules},
              "printed.txt");
    EXPECT_EQ(WaitForExit(demo, std::chrono::seconds(20)), 9999 & 0xFF);
    EXPECT_EQ(ReadFileBytes("printed.txt"), ""); // fatal errors are silent
}

// A place on the screen: x, y, width, height.
using Place = std::array<int, 4>;

// A virtual X server for one test, with the program's window found and poked through Xlib.
class WindowedProgram : public testing::Test {
  protected:
    void SetUp() override {
        if (!Installed("Xvfb") || !Installed("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        // A display number of this test's own: tests run side by side, and one after another
        // in one process while the previous server may still be shutting down.
        static int serversStarted = 0;
        displayName_ = ":" + std::to_string(100 + (getpid() * 3 + serversStarted++) % 400);
        server_ = Start({"/usr/bin/Xvfb", displayName_, "-screen", "0", screen_, "-nolisten", "tcp",
                         "-noreset"},
                        {});
        auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!display_ && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            display_ = XOpenDisplay(displayName_.c_str());
        }
        ASSERT_NE(display_, nullptr) << "Xvfb did not start on " << displayName_;
        // An X error (a window that went away meanwhile) fails the check that follows, instead
        // of ending the test program.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        PrepareRunFolder();
        demo_ =
            Start({program_}, {"DISPLAY=" + displayName_, "SDL_AUDIODRIVER=dummy", kNoLeakScan});
        window_ = WaitForWindow("Duziv2i", std::chrono::seconds(20));
        ASSERT_NE(window_, 0u) << "no window appeared";
    }

    void TearDown() override {
        if (demo_ > 0) { // still running after a failed check
            kill(demo_, SIGKILL);
            waitpid(demo_, nullptr, 0);
        }
        if (display_)
            XCloseDisplay(display_);
        if (server_ > 0) {
            kill(server_, SIGTERM);
            WaitForExit(server_, std::chrono::seconds(10));
        }
    }

    Window FindWindow(Window parent, const char* title) {
        char* name = nullptr;
        if (XFetchName(display_, parent, &name) && name) {
            bool found = std::string(name) == title;
            XFree(name);
            if (found)
                return parent;
        }
        Window root, parentOfParent, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display_, parent, &root, &parentOfParent, &children, &count)) {
            for (unsigned i = 0; i < count && !found; i++)
                found = FindWindow(children[i], title);
            if (children)
                XFree(children);
        }
        return found;
    }

    Window WaitForWindow(const char* title, std::chrono::seconds limit) {
        auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            Window window = FindWindow(DefaultRootWindow(display_), title);
            if (window)
                return window;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }

    // The program's window as it is now: SDL may replace its first window when it sets up
    // rendering, so the window is looked up again before each action.
    void RefreshWindow() {
        Window window = WaitForWindow("Duziv2i", std::chrono::seconds(5));
        if (window)
            window_ = window;
    }

    // Presses a key as a person would (through the XTEST extension, as xdotool does).
    void PressKey(const char* key) { Type(std::string("key ") + key); }

    // Runs xdotool's `commands` (key, keydown, keyup, sleep) with the window focused.
    void Type(const std::string& commands) {
        RefreshWindow();
        std::string command = "DISPLAY=" + displayName_ + " xdotool windowfocus --sync " +
                              std::to_string(window_) + " " + commands;
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // The window's place on the screen once it is `expected`, or as it is after 10 seconds.
    Place WaitForPlace(const Place& expected) {
        RefreshWindow();
        Place place = {};
        auto deadline = Clock::now() + std::chrono::seconds(10);
        do {
            XWindowAttributes attributes = {};
            Window child;
            if (XGetWindowAttributes(display_, window_, &attributes))
                XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0,
                                      &place[0], &place[1], &child);
            place[2] = attributes.width;
            place[3] = attributes.height;
            if (place == expected)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        } while (Clock::now() < deadline);
        return place;
    }

    // How often the window's size changes while `action` runs.
    int SizeChangesDuring(const std::function<void()>& action) {
        RefreshWindow();
        XWindowAttributes attributes = {};
        XGetWindowAttributes(display_, window_, &attributes);
        XSelectInput(display_, window_, StructureNotifyMask);
        XSync(display_, False);
        action();
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // a late change counts too
        XSync(display_, False);
        int changes = 0;
        for (int width = attributes.width, height = attributes.height; XPending(display_);) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != ConfigureNotify ||
                (event.xconfigure.width == width && event.xconfigure.height == height))
                continue;
            width = event.xconfigure.width;
            height = event.xconfigure.height;
            changes++;
        }
        XSelectInput(display_, window_, NoEventMask);
        return changes;
    }

    // Checks the screen a few frames from now: some pixels are lit, all of them in `place`,
    // each the colour of the top-left pixel of its `scale` x `scale` block there (the picture
    // scaled by a whole multiple with nearest-neighbour).
    void ExpectPictureIn(const Place& place, int scale) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Window root = DefaultRootWindow(display_);
        XWindowAttributes screen = {};
        XGetWindowAttributes(display_, root, &screen);
        XImage* image =
            XGetImage(display_, root, 0, 0, screen.width, screen.height, AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        int lit = 0, outside = 0, unscaled = 0;
        for (int y = 0; y < screen.height; y++) {
            for (int x = 0; x < screen.width; x++) {
                const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFF;
                if (pixel == 0)
                    continue;
                lit++;
                if (x < place[0] || y < place[1] || x >= place[0] + place[2] ||
                    y >= place[1] + place[3]) {
                    outside++;
                } else if (pixel != (XGetPixel(image, x - (x - place[0]) % scale,
                                               y - (y - place[1]) % scale) &
                                     0xFFFFFF)) {
                    unscaled++;
                }
            }
        }
        XDestroyImage(image);
        EXPECT_GT(lit, 0);
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(unscaled, 0);
    }

    // Asks the window to close, as a window manager's close button does.
    void RequestClose() {
        RefreshWindow();
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window_;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window_, False, NoEventMask, &event);
        XFlush(display_);
    }

    std::string program_ = kDemo;       // the full-screen configuration
    std::string screen_ = "800x600x24"; // the virtual screen's size and depth
    TempWorkingDirectory folder_;
    std::string displayName_;
    pid_t server_ = 0;
    pid_t demo_ = 0;
    Display* display_ = nullptr;
    Window window_ = 0;
};

TEST_F(WindowedProgram, ReturnSavesAScreenshotAndEscapeQuitsWithZero) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // let the first scene start
    PressKey("Return");
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!fs::exists("grab_1.bmp") && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    PressKey("Escape");
    EXPECT_EQ(WaitForExit(demo_, std::chrono::seconds(20)), 0);
    demo_ = 0;
    ASSERT_TRUE(fs::exists("grab_1.bmp"));
    EXPECT_EQ(fs::file_size("grab_1.bmp"), 393274u);
}

TEST_F(WindowedProgram, ClosingTheWindowQuitsWithZero) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    RequestClose();
    EXPECT_EQ(WaitForExit(demo_, std::chrono::seconds(20)), 0);
    demo_ = 0;
}

TEST_F(WindowedProgram, AltEnterSwitchesToAWindowAndBackOncePerPressAndTakesNoScreenshot) {
    const Place screen = {0, 0, 800, 600};
    const Place window = {80, 60, 640, 480};  // the display's size, centred
    const Place frame = {144, 172, 512, 256}; // the frame's place in the display, (64, 112)
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(WaitForPlace(screen), screen);
    PressKey("alt+Return");
    EXPECT_EQ(WaitForPlace(window), window);
    ExpectPictureIn(frame, 1);
    PressKey("Alt_R+Return");
    EXPECT_EQ(WaitForPlace(screen), screen);
    ExpectPictureIn(frame, 1);
    // Enter held repeats, with Alt and, once Alt is let go, without: one switch, no Return.
    EXPECT_EQ(SizeChangesDuring(
                  [&] { Type("keydown alt+Return sleep 1.2 keyup Alt_L sleep 0.8 keyup Return"); }),
              1);
    EXPECT_EQ(WaitForPlace(window), window);
    PressKey("Escape");
    EXPECT_EQ(WaitForExit(demo_, std::chrono::seconds(20)), 0);
    demo_ = 0;
    EXPECT_FALSE(fs::exists("grab_1.bmp"));
}

// The windowed configuration: a window of the frame's size at the desktop's top-left corner.
class WindowedConfigurationProgram : public WindowedProgram {
  protected:
    WindowedConfigurationProgram() {
        program_ = kDemo + "-windowed";
        screen_ = "1280x720x24"; // room for the frame twice its size
    }
};

TEST_F(WindowedConfigurationProgram, AltEnterShowsTheWindowOnTheWholeScreenAndBack) {
    const Place screen = {0, 0, 1280, 720};
    const Place window = {3, 22, 512, 256}; // the client area inside the border and caption
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(WaitForPlace(window), window);
    ExpectPictureIn(window, 1);
    PressKey("alt+Return");
    EXPECT_EQ(WaitForPlace(screen), screen);
    ExpectPictureIn({128, 104, 1024, 512}, 2);
    PressKey("alt+Return");
    EXPECT_EQ(WaitForPlace(window), window);
    ExpectPictureIn(window, 1);
    PressKey("Escape");
    EXPECT_EQ(WaitForExit(demo_, std::chrono::seconds(20)), 0);
    demo_ = 0;
}

} // namespace
