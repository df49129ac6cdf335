#include "shell/display.h"

#include "base/framebuffer.h"
#include "base/process.h"
#include "platform/ddraw.h"
#include "shell/demo.h"
#include "shell/music.h"
#include "shell/settings.h"

#include <cstring>

namespace {

constexpr size_t kFrameRowBytes = kFrameWidth * sizeof(uint32_t);

// The windowed copy leaves the lowest rows of the desktop alone (the task bar's place).
constexpr LONG kDesktopBottomMargin = 30;

LPDIRECTDRAW ddraw = nullptr;
LPDIRECTDRAWSURFACE primarySurface = nullptr;
LPDIRECTDRAWSURFACE backSurface = nullptr; // flip chain only
DDSURFACEDESC surfaceDesc;                 // filled again by every Lock

void ClearSurfaceDesc() {
    std::memset(&surfaceDesc, 0, sizeof(surfaceDesc));
    surfaceDesc.dwSize = sizeof(surfaceDesc);
}

// Clears the whole surface to black; one that cannot be locked is left as it is.
void ClearSurface(LPDIRECTDRAWSURFACE surface) {
    if (surface->Lock(nullptr, &surfaceDesc, DDLOCK_WAIT, nullptr) == DD_OK) {
        std::memset(surfaceDesc.lpSurface, 0,
                    static_cast<size_t>(surfaceDesc.lPitch) * surfaceDesc.dwHeight);
        surface->Unlock(surfaceDesc.lpSurface);
    }
}

// Full-screen copy: the 256 rows, 2048 bytes each, to display (64, 112) of the locked surface.
// The row pitch is the one Lock reports (2560 on most drivers, more on some); a surface too
// small for the frame's place is left alone rather than written out of bounds.
HRESULT CopyToFullScreen(LPDIRECTDRAWSURFACE surface, const uint32_t* frame) {
    HRESULT result = surface->Lock(nullptr, &surfaceDesc, DDLOCK_WAIT, nullptr);
    if (result != DD_OK)
        return result; // no memory to copy into: this frame is skipped
    const long pitch = surfaceDesc.lPitch;
    const bool fits = surfaceDesc.dwWidth >= static_cast<DWORD>(kFrameLeft + kFrameWidth) &&
                      surfaceDesc.dwHeight >= static_cast<DWORD>(kFrameTop + kFrameHeight) &&
                      pitch >= static_cast<long>(surfaceDesc.dwWidth) * 4;
    if (fits) {
        uint8_t* row = static_cast<uint8_t*>(surfaceDesc.lpSurface) + kFrameTop * pitch +
                       kFrameLeft * sizeof(uint32_t);
        for (int r = 0; r < kFrameHeight; r++, row += pitch)
            std::memcpy(row, frame + r * kFrameWidth, kFrameRowBytes);
    }
    return surface->Unlock(surfaceDesc.lpSurface);
}

// Windowed copy: the frame goes to the window's client origin on the desktop, straight into
// the primary surface, clipped to the desktop's columns, to rows from the top of the screen
// down to desktop bottom - 30, and to the locked surface.
HRESULT CopyToWindow(const uint32_t* frame) {
    HRESULT result = primarySurface->Lock(nullptr, &surfaceDesc, DDLOCK_WAIT, nullptr);
    if (result != DD_OK)
        return result;
    if (surfaceDesc.ddpfPixelFormat.dwRGBBitCount != 32) {
        primarySurface->Unlock(surfaceDesc.lpSurface);
        FatalError("le bureau doit etre en 32 bits par pixel!!\n");
    }
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    POINT origin = {0, 0};
    ClientToScreen(mainWindow, &origin);

    const long pitch = surfaceDesc.lPitch;
    const long surfaceWidth = static_cast<long>(surfaceDesc.dwWidth);
    const long surfaceHeight = static_cast<long>(surfaceDesc.dwHeight);
    const long right = desktop.right < surfaceWidth ? desktop.right : surfaceWidth;
    // Columns c with 0 <= origin.x + c < right.
    const long firstColumn = origin.x < 0 ? -static_cast<long>(origin.x) : 0;
    long endColumn = right - origin.x;
    if (endColumn > kFrameWidth)
        endColumn = kFrameWidth;
    uint8_t* memory = static_cast<uint8_t*>(surfaceDesc.lpSurface);
    for (int r = 0; r < kFrameHeight; r++) {
        const long y = origin.y + r;
        if (y > desktop.bottom - kDesktopBottomMargin)
            break;
        if (y < 0 || y >= surfaceHeight || firstColumn >= endColumn)
            continue; // above the screen, or no column on it
        // The first screen column drawn, origin.x + firstColumn, is never negative: the pointer
        // is formed there, not at the window's origin, which may lie left of the screen.
        uint32_t* destination =
            reinterpret_cast<uint32_t*>(memory + y * pitch) + (origin.x + firstColumn);
        std::memcpy(destination, frame + r * kFrameWidth + firstColumn,
                    static_cast<size_t>(endColumn - firstColumn) * sizeof(uint32_t));
    }
    return primarySurface->Unlock(surfaceDesc.lpSurface);
}

// Copies the frame to the display as the configuration says and shows it; the last DirectDraw
// call's result.
HRESULT ShowFrame(const uint32_t* frame) {
    if (FullScreen && FlipChain == 1) {
        HRESULT result = CopyToFullScreen(backSurface, frame);
        if (result != DD_OK)
            return result; // the back buffer holds no new frame: nothing to flip
        return primarySurface->Flip(nullptr, 0);
    }
    if (FullScreen)
        return CopyToFullScreen(primarySurface, frame);
    return CopyToWindow(frame);
}

// Gives the lost display surfaces their memory back; false while the display is not the show's
// again. Restored memory holds anything, so in full screen both buffers are cleared, or the
// border around the frame, which is never drawn, would show it. The windowed copy draws on the
// desktop, whose other windows repaint their own parts.
bool RestoreSurfaces() {
    if (primarySurface->Restore() != DD_OK)
        return false;
    if (FullScreen) {
        if (backSurface)
            ClearSurface(backSurface);
        ClearSurface(primarySurface);
    }
    return true;
}

} // namespace

int InitDisplay(HWND window) {
    if (DirectDrawCreate(nullptr, &ddraw, nullptr) != DD_OK)
        FatalError("impossible de poser le ddraw!!\n");

    DWORD level =
        FullScreen ? DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_EXCLUSIVE
                   : DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL;
    if (ddraw->SetCooperativeLevel(window, level) != DD_OK)
        FatalError("impossible de poser le SetCooperativeLevel!!\n");

    if (FullScreen && ddraw->SetDisplayMode(kDisplayWidth, kDisplayHeight, 32) != DD_OK)
        FatalError("impossible de poser le fullscreen!!\n");

    if (FlipChain == 1) {
        ClearSurfaceDesc();
        surfaceDesc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        surfaceDesc.ddsCaps.dwCaps =
            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
        surfaceDesc.dwBackBufferCount = 1;
        if (ddraw->CreateSurface(&surfaceDesc, &primarySurface, nullptr) != DD_OK)
            FatalError("impossible de poser le CreateSurface!!\n");

        DDSCAPS backBufferCaps;
        backBufferCaps.dwCaps = DDSCAPS_BACKBUFFER;
        if (primarySurface->GetAttachedSurface(&backBufferCaps, &backSurface) != DD_OK)
            FatalError("impossible de poser le CreateSurface!!\n");

        // Only the buffer that is the back buffer now is cleared; the front keeps its content.
        ClearSurface(backSurface);
    } else {
        ClearSurfaceDesc();
        surfaceDesc.dwFlags = DDSD_CAPS;
        surfaceDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
        if (ddraw->CreateSurface(&surfaceDesc, &primarySurface, nullptr) != DD_OK)
            FatalError("impossible de poser le CreateSurface!!\n");
    }
    return 0;
}

int PresentFrame(const uint32_t* frame) {
    MSG message;
    if (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            StopMusic();
            DestroyWindow(mainWindow);
            EndProcess(static_cast<int>(message.wParam));
        }
        TranslateMessage(&message);
        DispatchMessage(&message);
    }

    HRESULT result = ShowFrame(frame);
    // The display memory was lost (the show was left with Alt+Tab): the frame is shown as soon
    // as the memory is back. Until then (the show is still in the background) every frame is
    // skipped, and the next one tries again.
    if (result == DDERR_SURFACELOST && RestoreSurfaces())
        result = ShowFrame(frame);
    return result;
}

LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0); // the window is destroyed when the quit message is taken
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && theDemo)
            theDemo->SaveScreenshot();
        else if (wParam == VK_ESCAPE)
            PostQuitMessage(0);
        return 0; // every key is handled here: none reaches the default processing
    default:
        return DefWindowProc(window, message, wParam, lParam);
    }
}

void ResetDisplayState() {
    ddraw = nullptr;
    primarySurface = nullptr;
    backSurface = nullptr;
    ClearSurfaceDesc();
}
