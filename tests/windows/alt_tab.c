/* Alt+Tab away from the show and back, for the Windows program test:
 *
 *     alt_tab.exe MILLISECONDS
 *
 * Finds the show's window (class DOZEZER), puts a window of its own in the foreground over the
 * whole screen, as switching to another program does, keeps it there for MILLISECONDS, then
 * closes it and switches back to the show the way the Alt+Tab list does (SwitchToThisWindow,
 * which also restores the show's window if it was minimised). Ends with 0 when the show lost the
 * foreground and has it again, 1 when not, 2 when there is no show. */
#include <stdlib.h>
#include <windows.h>

/* Handles this program's window messages for a while. */
static void HandleMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

int main(int argc, char** argv) {
    DWORD away = argc > 1 ? (DWORD)atoi(argv[1]) : 2000;
    HWND show = FindWindowA("DOZEZER", NULL);
    if (!show)
        return 2;
    HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "away", WS_POPUP | WS_VISIBLE, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                 NULL, NULL, GetModuleHandleA(NULL), NULL);
    SetForegroundWindow(other);
    HandleMessages(away);
    int wentAway = GetForegroundWindow() == other;
    DestroyWindow(other);
    SwitchToThisWindow(show, TRUE);
    HandleMessages(200);
    return wentAway && GetForegroundWindow() == show && !IsIconic(show) ? 0 : 1;
}
