// The DirectDraw subset the shell calls: create, cooperative level, display mode, surfaces,
// Lock / Unlock / Flip, the attached back buffer, and Restore after the display memory was lost.
//
// On Windows this is the real <ddraw.h>. Elsewhere the interfaces are declared here with the
// same names, types and values, as abstract classes that the linked back end implements.
#pragma once

#include "platform/win32.h"

#ifdef DEMO_NATIVE_WIN32
#include <ddraw.h>
#else

constexpr HRESULT DD_OK = 0;
// The surface's display memory was taken away (another program took over the display, as after
// Alt+Tab from a full-screen program): every Lock and Flip fails with it until Restore succeeds.
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);

// Cooperative levels.
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x4;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;

// Surface description flags and capabilities.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;

// Lock flags.
constexpr DWORD DDLOCK_WAIT = 0x1;

typedef struct _DDSCAPS {
    DWORD dwCaps;
} DDSCAPS, *LPDDSCAPS;

typedef struct _DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
} DDCOLORKEY;

typedef struct _DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
} DDPIXELFORMAT;

// The surface description record, laid out as Windows lays it out: 108 bytes on 32-bit systems,
// 120 on 64-bit ones, where the memory pointer takes 8 bytes. Lock fills lpSurface and lPitch,
// and the pixel format.
typedef struct _DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch; // bytes from one row to the next
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface; // first byte of the locked surface
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
} DDSURFACEDESC, *LPDDSURFACEDESC;

struct IUnknown;
typedef struct _GUID GUID;

class IDirectDrawSurface {
  public:
    // Gives the surface attached with the capabilities (the back buffer of a flip chain).
    virtual HRESULT GetAttachedSurface(LPDDSCAPS caps, IDirectDrawSurface** attached) = 0;
    // Locks the whole surface (rect null) and fills lpSurface, lPitch and the pixel format.
    virtual HRESULT Lock(RECT* rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(LPVOID surfaceMemory) = 0;
    // Shows the back buffer: the front and back buffers trade places.
    virtual HRESULT Flip(IDirectDrawSurface* target, DWORD flags) = 0;
    // Gives a lost surface its display memory again (a primary surface: its back buffer too).
    // What the memory holds afterwards is undefined. Fails, and the surface stays lost, while
    // the display is not the program's to have (its display mode is not set again yet); DD_OK
    // for a surface that was not lost.
    virtual HRESULT Restore() = 0;

  protected:
    ~IDirectDrawSurface() = default;
};
typedef IDirectDrawSurface* LPDIRECTDRAWSURFACE;

class IDirectDraw {
  public:
    virtual HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface,
                                  IUnknown* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) = 0;

  protected:
    ~IDirectDraw() = default;
};
typedef IDirectDraw* LPDIRECTDRAW;

// Creates the DirectDraw object for the display driver (guid null: the default one).
HRESULT WINAPI DirectDrawCreate(GUID* guid, LPDIRECTDRAW* directDraw, IUnknown* outer);

#endif

#include <cstddef>

// The display code sets the record's size field and reads the pitch and the memory pointer that
// Lock fills in: the record must be laid out as the system lays it out, 108 bytes on 32-bit
// Windows. Checked against the system's own header in Windows builds.
static_assert(sizeof(DDSCAPS) == 4, "DDSCAPS is one DWORD");
static_assert(offsetof(DDSURFACEDESC, lPitch) == 16, "lPitch at byte 16");
static_assert(offsetof(DDSURFACEDESC, lpSurface) == (sizeof(void*) == 4 ? 36 : 40),
              "lpSurface after the nine DWORDs");
static_assert(sizeof(DDSURFACEDESC) == (sizeof(void*) == 4 ? 108 : 120),
              "DDSURFACEDESC is 108 bytes on 32-bit Windows");
