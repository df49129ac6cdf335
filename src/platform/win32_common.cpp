// The shared Win32 subset: one window class, one window, its message queue and procedure, the
// cursor count, the desktop rectangle and the performance counter. Back ends supply the native
// window, input events and the counter (platform/backend.h).
#include "platform/backend.h"
#include "platform/call_hooks.h"
#include "platform/win32.h"

#include <cstring>
#include <deque>
#include <string>

namespace {

struct WindowRecord {
    bool exists = false;
    DWORD style = 0;
    RECT rect = {0, 0, 0, 0};
    WNDPROC procedure = nullptr;
};

struct WindowSystem {
    bool classRegistered = false;
    std::string className;
    WNDPROC classProcedure = nullptr;
    WindowRecord window;     // the one application window
    WindowRecord desktop;    // stands for the desktop window
    std::deque<MSG> queue;   // posted messages, oldest first
    bool quitPosted = false; // the quit message waits behind the queue
    int quitCode = 0;
    int cursorCount = 0; // the cursor shows while this is 0 or more
};

WindowSystem state;

HWND HandleOf(WindowRecord* record) {
    return reinterpret_cast<HWND>(record);
}
WindowRecord* RecordOf(HWND window) {
    if (window == HandleOf(&state.window) && state.window.exists)
        return &state.window;
    if (window == HandleOf(&state.desktop))
        return &state.desktop;
    return nullptr;
}

// Stand-ins for resource and object handles: distinct, never dereferenced.
char iconResource, cursorResource, blackBrush, processHandle;

} // namespace

void ResetWindowSystem() {
    state = WindowSystem();
}

void PostWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!state.window.exists)
        return;
    MSG m = {};
    m.hwnd = HandleOf(&state.window);
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    state.queue.push_back(m);
}

ATOM WINAPI RegisterClass(const WNDCLASS* windowClass) {
    calls::Log(std::string("RegisterClass ") + windowClass->lpszClassName);
    if (calls::Fails("RegisterClass"))
        return 0;
    state.classRegistered = true;
    state.className = windowClass->lpszClassName;
    state.classProcedure = windowClass->lpfnWndProc;
    return 1;
}

HWND WINAPI CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
    calls::Log("CreateWindowEx " + std::to_string(exStyle) + " " + className + " " + windowName +
               " " + std::to_string(style) + " " + std::to_string(x) + " " + std::to_string(y) +
               " " + std::to_string(width) + " " + std::to_string(height));
    if (calls::Fails("CreateWindowEx") || !state.classRegistered || state.className != className ||
        state.window.exists)
        return nullptr;
    if (!backend::CreateNativeWindow(windowName, style, x, y, width, height))
        return nullptr;
    state.window.exists = true;
    state.window.style = style;
    state.window.rect = {x, y, x + width, y + height};
    state.window.procedure = state.classProcedure;
    return HandleOf(&state.window);
}

BOOL WINAPI BringWindowToTop(HWND window) {
    calls::Log("BringWindowToTop");
    return RecordOf(window) ? TRUE : FALSE;
}

HWND WINAPI SetActiveWindow(HWND window) {
    calls::Log("SetActiveWindow");
    return RecordOf(window) ? window : nullptr;
}

BOOL WINAPI DestroyWindow(HWND window) {
    calls::Log("DestroyWindow");
    WindowRecord* record = RecordOf(window);
    if (record != &state.window)
        return FALSE;
    backend::DestroyNativeWindow();
    state.window = WindowRecord();
    state.queue.clear();
    return TRUE;
}

HICON WINAPI LoadIcon(HINSTANCE, LPCSTR) {
    return reinterpret_cast<HICON>(&iconResource);
}
HCURSOR WINAPI LoadCursor(HINSTANCE, LPCSTR) {
    return reinterpret_cast<HCURSOR>(&cursorResource);
}
HGDIOBJ WINAPI GetStockObject(int) {
    return &blackBrush;
}

int WINAPI ShowCursor(BOOL show) {
    calls::Log(std::string("ShowCursor ") + (show ? "1" : "0"));
    state.cursorCount += show ? 1 : -1;
    backend::SetCursorVisible(state.cursorCount >= 0);
    return state.cursorCount;
}

HWND WINAPI GetDesktopWindow() {
    return HandleOf(&state.desktop);
}

BOOL WINAPI GetWindowRect(HWND window, RECT* rect) {
    WindowRecord* record = RecordOf(window);
    if (!record || !rect)
        return FALSE;
    if (record == &state.desktop) {
        backend::DesktopFormat desktop = backend::Desktop();
        *rect = {0, 0, desktop.width, desktop.height};
    } else {
        *rect = record->rect;
    }
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND window, POINT* point) {
    WindowRecord* record = RecordOf(window);
    if (!record || !point)
        return FALSE;
    if (record == &state.window) {
        POINT origin = backend::ClientOrigin();
        point->x += origin.x;
        point->y += origin.y;
    }
    return TRUE;
}

BOOL WINAPI PeekMessage(MSG* message, HWND window, UINT, UINT, UINT remove) {
    backend::PumpEvents();
    (void)window; // every message of this thread, whatever the window
    if (!state.queue.empty()) {
        *message = state.queue.front();
        if (remove & PM_REMOVE)
            state.queue.pop_front();
    } else if (state.quitPosted) {
        // As on Windows, the quit message comes out once no other message waits.
        *message = MSG();
        message->message = WM_QUIT;
        message->wParam = static_cast<WPARAM>(state.quitCode);
        if (remove & PM_REMOVE)
            state.quitPosted = false;
    } else {
        return FALSE;
    }
    calls::Log("PeekMessage " + std::to_string(message->message) + " " +
               std::to_string(message->wParam));
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessage(const MSG* message) {
    WindowRecord* record = RecordOf(message->hwnd);
    if (!record || !record->procedure)
        return 0;
    return record->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    calls::Log("PostQuitMessage " + std::to_string(exitCode));
    state.quitPosted = true;
    state.quitCode = exitCode;
}

LRESULT WINAPI DefWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
    calls::Log("DefWindowProc " + std::to_string(message));
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

HANDLE WINAPI GetCurrentProcess() {
    return &processHandle;
}

BOOL WINAPI SetPriorityClass(HANDLE, DWORD priorityClass) {
    calls::Log("SetPriorityClass " + std::to_string(priorityClass));
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (calls::Fails("QueryPerformanceCounter"))
        return FALSE;
    int64_t ticks = 0;
    if (!backend::ReadCounter(&ticks))
        return FALSE;
    count->QuadPart = ticks;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (calls::Fails("QueryPerformanceFrequency"))
        return FALSE;
    int64_t ticksPerSecond = 0;
    if (!backend::ReadFrequency(&ticksPerSecond) || ticksPerSecond <= 0)
        return FALSE;
    frequency->QuadPart = ticksPerSecond;
    return TRUE;
}
