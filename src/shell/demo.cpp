#include "shell/demo.h"

#include "base/framebuffer.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "base/process.h"
#include "shell/settings.h"

#include <cstdio>
#include <cstdlib>
#include <new>

HWND mainWindow = nullptr;
Demo* theDemo = nullptr;

namespace {

// The program's own icon in its resources (src/platform/windows/demo.rc.in), for the task bar
// and the Alt+Tab list; a program built without it gets the system's default icon.
constexpr WORD kProgramIcon = 1;

// Before the entry point: a file left by an earlier tool is removed. A missing file, or one that
// cannot be deleted, is no error.
const bool snifferRemoved = (std::remove("sniffer.txt"), true);

} // namespace

Demo::Demo() {
    frameBuffer = static_cast<uint32_t*>(std::malloc(kFramePixels * sizeof(uint32_t)));
    if (!frameBuffer)
        FatalError("pas assez de memoire pour le frame buffer!!\n");
}

Demo::~Demo() {
    std::free(frameBuffer);
}

void Demo::Run() {
    RunParticleScene(frameBuffer);
    RunObjectScene(frameBuffer);
    RunBallScene(frameBuffer);
    RunRippledPlaneScene(frameBuffer);
    RunPlanesScene(frameBuffer);
    RunRotozoomScene(frameBuffer);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    (void)snifferRemoved;

    WNDCLASS windowClass;
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DemoWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIcon(instance, MAKEINTRESOURCE(kProgramIcon));
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "DOZEZER";
    RegisterClass(&windowClass);

    const DWORD style = FullScreen
                            ? WS_POPUP | WS_VISIBLE
                            : WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX;
    mainWindow = CreateWindowEx(0, "DOZEZER", "Duziv2i", style, 0, 0, FullScreen ? 640 : 518,
                                FullScreen ? 480 : 281, nullptr, nullptr, instance, nullptr);
    if (!mainWindow)
        FatalError("impossible de creer la fenetre!!\n");
    BringWindowToTop(mainWindow);
    SetActiveWindow(mainWindow);

    InitDisplay(mainWindow);
    InitSceneClock();
    if (FullScreen == 1)
        ShowCursor(FALSE);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);

    theDemo = new (std::nothrow) Demo;
    if (!theDemo)
        FatalError("pas assez de memoire pour la demo!!\n");

    if (!StartMusic(mainWindow))
        return 1;
    ShowCursor(FALSE);

    theDemo->Run();
    return 0;
}

void ResetShellState() {
    delete theDemo;
    theDemo = nullptr;
    mainWindow = nullptr;
    ResetDisplayState();
    ResetSceneClockState();
    ResetMusicState();
    ResetScreenshotCounter();
}
