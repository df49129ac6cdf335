// The shared DirectDraw subset: display surfaces held in memory. A flip trades the memory of the
// primary surface and its back buffer, then the back end shows the new front picture; a primary
// without back buffer is shown when it is unlocked.
//
// The surfaces can be lost as on Windows when another program takes the display: from then on
// Lock and Flip fail with DDERR_SURFACELOST, and the memory holds nothing that was drawn, until
// Restore on the primary surface succeeds (the back end may have it refused a few times first,
// while the program is still in the background).
#include "platform/backend.h"
#include "platform/call_hooks.h"
#include "platform/ddraw.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr HRESULT MakeError(unsigned code) {
    return static_cast<HRESULT>(0x88760000u | code);
}
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_INVALIDCAPS = MakeError(100);
constexpr HRESULT DDERR_INVALIDMODE = MakeError(120);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeError(225);
constexpr HRESULT DDERR_NOTFOUND = MakeError(255);
constexpr HRESULT DDERR_SURFACEBUSY = MakeError(430);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeError(582);
constexpr HRESULT DDERR_NOTLOCKED = MakeError(584);
constexpr HRESULT DDERR_WRONGMODE = MakeError(587);
static_assert(DDERR_SURFACELOST == MakeError(450), "DDERR_SURFACELOST as Windows numbers it");

class MemorySurface final : public IDirectDrawSurface {
  public:
    MemorySurface(const char* name, int width, int height, long pitch, int bitsPerPixel)
        : name_(name), width_(width), height_(height), pitch_(pitch), bitsPerPixel_(bitsPerPixel),
          memory_(static_cast<size_t>(pitch) * height / 4, backend::FreshSurfaceWord()) {}

    HRESULT GetAttachedSurface(LPDDSCAPS caps, IDirectDrawSurface** attached) override {
        calls::Log("GetAttachedSurface " + std::to_string(caps ? caps->dwCaps : 0));
        if (!caps || !attached)
            return DDERR_INVALIDPARAMS;
        if (calls::Fails("GetAttachedSurface") || !(caps->dwCaps & DDSCAPS_BACKBUFFER) ||
            !backBuffer_)
            return DDERR_NOTFOUND;
        *attached = backBuffer_;
        return DD_OK;
    }

    HRESULT Lock(RECT* rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE) override {
        calls::Log("Lock " + name_ + " " + std::to_string(flags));
        if (rect || !desc)
            return DDERR_INVALIDPARAMS; // only whole-surface locks are offered
        if (calls::Fails("Lock") || lost_)
            return DDERR_SURFACELOST;
        if (locked_)
            return DDERR_SURFACEBUSY;
        locked_ = true;
        desc->dwWidth = static_cast<DWORD>(width_);
        desc->dwHeight = static_cast<DWORD>(height_);
        desc->lPitch = static_cast<LONG>(pitch_);
        desc->lpSurface = memory_.data();
        desc->ddpfPixelFormat = DDPIXELFORMAT();
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bitsPerPixel_);
        if (bitsPerPixel_ == 32) {
            desc->ddpfPixelFormat.dwRBitMask = 0xFF0000;
            desc->ddpfPixelFormat.dwGBitMask = 0xFF00;
            desc->ddpfPixelFormat.dwBBitMask = 0xFF;
        }
        return DD_OK;
    }

    HRESULT Unlock(LPVOID) override {
        calls::Log("Unlock " + name_);
        if (!locked_)
            return DDERR_NOTLOCKED;
        locked_ = false;
        if (isPrimary_ && !backBuffer_)
            Show();
        return DD_OK;
    }

    HRESULT Flip(IDirectDrawSurface* target, DWORD flags) override {
        calls::Log("Flip " + std::to_string(flags));
        if (target || !backBuffer_)
            return DDERR_NOTFLIPPABLE;
        if (lost_ || backBuffer_->lost_)
            return DDERR_SURFACELOST;
        if (locked_ || backBuffer_->locked_)
            return DDERR_SURFACEBUSY;
        std::swap(memory_, backBuffer_->memory_);
        Show();
        return DD_OK;
    }

    HRESULT Restore() override {
        calls::Log("Restore " + name_);
        if (!lost_)
            return DD_OK;
        if (refusedRestores_ > 0) {
            refusedRestores_--;
            return DDERR_WRONGMODE;
        }
        for (MemorySurface* surface : {this, backBuffer_})
            if (surface) {
                surface->lost_ = false;
                std::fill(surface->memory_.begin(), surface->memory_.end(),
                          backend::FreshSurfaceWord());
            }
        return DD_OK;
    }

    // Takes the display memory away from this surface; Restore on it fails `refusedRestores`
    // times before it succeeds.
    void Lose(int refusedRestores) {
        lost_ = true;
        refusedRestores_ = refusedRestores;
    }

    void Show() const {
        backend::ShowPicture(reinterpret_cast<const uint8_t*>(memory_.data()), pitch_, width_,
                             height_);
    }

    SurfaceView View() const {
        return {reinterpret_cast<const uint8_t*>(memory_.data()), pitch_, width_, height_};
    }

    bool isPrimary_ = false;
    MemorySurface* backBuffer_ = nullptr;

  private:
    std::string name_;
    int width_;
    int height_;
    long pitch_;
    int bitsPerPixel_;
    std::vector<uint32_t> memory_;
    bool locked_ = false;
    bool lost_ = false;
    int refusedRestores_ = 0;
};

class MemoryDirectDraw final : public IDirectDraw {
  public:
    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown*) override {
        if (!desc || !surface)
            return DDERR_INVALIDPARAMS;
        DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : 0;
        DWORD backBuffers = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? desc->dwBackBufferCount : 0;
        calls::Log("CreateSurface " + std::to_string(desc->dwFlags) + " " + std::to_string(caps) +
                   " " + std::to_string(backBuffers));
        if (calls::Fails("CreateSurface"))
            return DDERR_GENERIC;
        if (!(caps & DDSCAPS_PRIMARYSURFACE) || primary_)
            return DDERR_INVALIDCAPS; // only the one primary surface (and its chain) is offered
        bool flipChain = backBuffers > 0;
        if (flipChain && (backBuffers != 1 || !(caps & DDSCAPS_FLIP) || !(caps & DDSCAPS_COMPLEX)))
            return DDERR_INVALIDCAPS;
        if (flipChain && !exclusive_)
            return DDERR_NOEXCLUSIVEMODE; // a flip chain needs the exclusive mode, as on Windows

        if (modeSet_) {
            long pitch = backend::FullScreenPitch();
            primary_ = std::make_unique<MemorySurface>("primary", 640, 480, pitch, 32);
            if (flipChain)
                back_ = std::make_unique<MemorySurface>("back", 640, 480, pitch, 32);
        } else {
            backend::DesktopFormat desktop = backend::Desktop();
            long pitch = static_cast<long>(desktop.width) * ((desktop.bitsPerPixel + 7) / 8);
            pitch = (pitch + 3) & ~3L;
            primary_ = std::make_unique<MemorySurface>("primary", desktop.width, desktop.height,
                                                       pitch, desktop.bitsPerPixel);
            if (flipChain)
                back_ = std::make_unique<MemorySurface>("back", desktop.width, desktop.height,
                                                        pitch, desktop.bitsPerPixel);
        }
        primary_->isPrimary_ = true;
        primary_->backBuffer_ = back_.get();
        *surface = primary_.get();
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override {
        calls::Log("SetCooperativeLevel " + std::to_string(flags));
        if (calls::Fails("SetCooperativeLevel"))
            return DDERR_GENERIC;
        bool exclusive = (flags & DDSCL_EXCLUSIVE) && (flags & DDSCL_FULLSCREEN);
        if (!exclusive && !(flags & DDSCL_NORMAL))
            return DDERR_INVALIDPARAMS;
        exclusive_ = exclusive;
        if (exclusive_)
            backend::EnterExclusiveMode();
        return DD_OK;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) override {
        calls::Log("SetDisplayMode " + std::to_string(width) + " " + std::to_string(height) + " " +
                   std::to_string(bitsPerPixel));
        if (calls::Fails("SetDisplayMode"))
            return DDERR_GENERIC;
        if (!exclusive_)
            return DDERR_NOEXCLUSIVEMODE;
        if (width != 640 || height != 480 || bitsPerPixel != 32)
            return DDERR_INVALIDMODE; // the one mode the show uses
        modeSet_ = true;
        return DD_OK;
    }

    std::unique_ptr<MemorySurface> primary_;
    std::unique_ptr<MemorySurface> back_;

  private:
    bool exclusive_ = false;
    bool modeSet_ = false;
};

std::unique_ptr<MemoryDirectDraw> directDraw;

} // namespace

HRESULT WINAPI DirectDrawCreate(GUID*, LPDIRECTDRAW* result, IUnknown*) {
    calls::Log("DirectDrawCreate");
    if (!result)
        return DDERR_INVALIDPARAMS;
    if (calls::Fails("DirectDrawCreate") || directDraw)
        return DDERR_GENERIC;
    directDraw = std::make_unique<MemoryDirectDraw>();
    *result = directDraw.get();
    return DD_OK;
}

void ResetDisplaySystem() {
    directDraw.reset();
}

bool PrimarySurfaceView(SurfaceView* view) {
    if (!directDraw || !directDraw->primary_)
        return false;
    *view = directDraw->primary_->View();
    return true;
}

bool BackSurfaceView(SurfaceView* view) {
    if (!directDraw || !directDraw->back_)
        return false;
    *view = directDraw->back_->View();
    return true;
}

void LoseDisplaySurfaces(int refusedRestores) {
    if (!directDraw)
        return;
    if (directDraw->primary_)
        directDraw->primary_->Lose(refusedRestores);
    if (directDraw->back_)
        directDraw->back_->Lose(0);
}
