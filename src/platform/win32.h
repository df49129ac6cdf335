// The Win32 subset the shell calls: window class and window, message queue and window
// procedure, cursor, process priority and the high-resolution performance counter.
//
// On Windows this is the real API (DEMO_NATIVE_WIN32 is then defined). Elsewhere the same names,
// types and values are declared here and implemented by the back end linked into the program
// (src/platform/sdl, headless or web); only what the shell calls is declared. Windows
// builds of the tests and tools define DEMO_EMULATED_WIN32 to get the declared subset with the
// headless back end there too, so that they run exactly as they do elsewhere.
#pragma once

#if defined(_WIN32) && !defined(DEMO_EMULATED_WIN32)
#define DEMO_NATIVE_WIN32 1
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else

#include <cstdint>

#define WINAPI
#define CALLBACK
#define FALSE 0
#define TRUE 1

typedef int BOOL;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef uint16_t WORD;
typedef uint16_t ATOM;
typedef int32_t HRESULT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HANDLE;

// Handles are opaque pointers to structures that only the back end defines.
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct HICON__* HICON;
typedef struct HICON__* HCURSOR;
typedef struct HBRUSH__* HBRUSH;
typedef struct HMENU__* HMENU;
typedef void* HGDIOBJ;

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
} LARGE_INTEGER;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASS {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASS;

#define MAKEINTRESOURCE(i) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))

// Class styles, resources and stock objects.
constexpr UINT CS_OWNDC = 0x0020;
#define IDI_APPLICATION MAKEINTRESOURCE(32512)
#define IDC_ARROW MAKEINTRESOURCE(32512)
constexpr int BLACK_BRUSH = 4;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000u;

// Messages, keys and queue flags.
constexpr UINT WM_CLOSE = 16;
constexpr UINT WM_QUIT = 18;
constexpr UINT WM_KEYDOWN = 256;
constexpr WPARAM VK_RETURN = 13;
constexpr WPARAM VK_ESCAPE = 27;
constexpr UINT PM_REMOVE = 1;

constexpr DWORD HIGH_PRIORITY_CLASS = 0x80;

// Window class and window.
ATOM WINAPI RegisterClass(const WNDCLASS* windowClass);
HWND WINAPI CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menu,
                           HINSTANCE instance, LPVOID param);
BOOL WINAPI BringWindowToTop(HWND window);
HWND WINAPI SetActiveWindow(HWND window);
BOOL WINAPI DestroyWindow(HWND window);
HICON WINAPI LoadIcon(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursor(HINSTANCE instance, LPCSTR name);
HGDIOBJ WINAPI GetStockObject(int object);
// Hides (FALSE) or shows (TRUE) the cursor; returns the new display count (shown while >= 0).
int WINAPI ShowCursor(BOOL show);

// Desktop geometry, for the windowed presentation.
HWND WINAPI GetDesktopWindow();
BOOL WINAPI GetWindowRect(HWND window, RECT* rect);
BOOL WINAPI ClientToScreen(HWND window, POINT* point);

// The message queue. PeekMessage with PM_REMOVE takes the oldest message (the quit message only
// once no other message waits, as on Windows); nonzero when it took one.
BOOL WINAPI PeekMessage(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessage(const MSG* message);
void WINAPI PostQuitMessage(int exitCode);
LRESULT WINAPI DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Process priority.
HANDLE WINAPI GetCurrentProcess();
BOOL WINAPI SetPriorityClass(HANDLE process, DWORD priorityClass);

// The high-resolution performance counter: nonzero on success.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);

#endif
