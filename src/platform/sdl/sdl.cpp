// The SDL2 back end of the real program: a window, the display shown in it, keys and window
// close as messages, the performance counter, and an audio device that pulls the music.
//
// Full-screen configurations show the 640 x 480 display on the whole desktop (full-screen
// desktop mode), letterboxed and scaled with nearest-neighbour, by whole multiples where they
// fit. The windowed configuration keeps an emulated desktop in memory, so the program's own
// windowed copy runs as written, and shows what lies under the window's client area.
// Alt+Enter switches either configuration between the whole desktop and a window: the picture
// is the same in both, only its place and scale on the screen change.
// Presentation waits for vertical sync and is capped at 60 frames per second.
#include "platform/backend.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A captioned window's client area sits inside a 3-pixel border, below a 22-pixel caption.
constexpr int kBorder = 3;
constexpr int kCaption = 22;
constexpr int kFramesPerSecond = 60;

struct SdlState {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    bool exclusive = false;
    bool fullScreen = false;            // the window covers the desktop now
    SDL_Rect windowedClient{};          // the client area's place on the desktop when in a window
    bool switchKeyHeld = false;         // Enter went down with Alt and is not released yet
    std::vector<uint32_t> clientPixels; // windowed: the desktop under the client area
    Uint64 nextPresent = 0;             // earliest counter value for the next present
    SDL_AudioDeviceID audioDevice = 0;
    backend::AudioFill audioFill = nullptr;
};

SdlState sdl;

WPARAM VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z)
        return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return static_cast<WPARAM>(0x70 + (key - SDLK_F1));
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_SPACE:
        return 0x20;
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_LEFT:
        return 0x25;
    case SDLK_UP:
        return 0x26;
    case SDLK_RIGHT:
        return 0x27;
    case SDLK_DOWN:
        return 0x28;
    default:
        return 0xFF; // a key without a Windows code of interest: still a key press
    }
}

bool EnsureTexture(int width, int height) {
    if (sdl.texture && sdl.textureWidth == width && sdl.textureHeight == height)
        return true;
    if (sdl.texture)
        SDL_DestroyTexture(sdl.texture);
    sdl.texture = SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_RGB888,
                                    SDL_TEXTUREACCESS_STREAMING, width, height);
    sdl.textureWidth = width;
    sdl.textureHeight = height;
    return sdl.texture != nullptr;
}

// The picture's place in the window: the largest whole multiple of its size that fits,
// centred; a window smaller than the picture gets it shrunk to fit, keeping its proportions.
SDL_Rect Letterbox(int outputWidth, int outputHeight, int width, int height) {
    SDL_Rect place;
    int scale = std::min(outputWidth / width, outputHeight / height);
    if (scale >= 1) {
        place.w = width * scale;
        place.h = height * scale;
    } else if (outputWidth * height < outputHeight * width) {
        place.w = outputWidth;
        place.h = outputWidth * height / width;
    } else {
        place.h = outputHeight;
        place.w = outputHeight * width / height;
    }
    place.x = (outputWidth - place.w) / 2;
    place.y = (outputHeight - place.h) / 2;
    return place;
}

// Holds presentation to the show's rate, on top of vertical sync.
void PaceFrame() {
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 period = frequency / kFramesPerSecond;
    Uint64 now = SDL_GetPerformanceCounter();
    if (now < sdl.nextPresent) {
        Uint64 waitMs = (sdl.nextPresent - now) * 1000 / frequency;
        if (waitMs > 1)
            SDL_Delay(static_cast<Uint32>(waitMs - 1));
        while ((now = SDL_GetPerformanceCounter()) < sdl.nextPresent) {
        }
    }
    // A late frame starts a new schedule instead of hurrying the next ones.
    sdl.nextPresent = (now > sdl.nextPresent + period) ? now + period : sdl.nextPresent + period;
}

// Makes the window a borderless one over the whole display it is on, in full-screen desktop
// mode. It is placed and sized by hand first, so that it covers the screen even where no window
// manager acts on the full-screen request.
void CoverDesktop() {
    SDL_Rect screen;
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(sdl.window)), &screen) == 0) {
        SDL_SetWindowBordered(sdl.window, SDL_FALSE);
        SDL_SetWindowPosition(sdl.window, screen.x, screen.y);
        SDL_SetWindowSize(sdl.window, screen.w, screen.h);
    }
    SDL_SetWindowFullscreen(sdl.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    sdl.fullScreen = true;
}

// Alt+Enter: from full screen to a captioned window with the client area it had before (in the
// full-screen configuration, the 640 x 480 display centred on the desktop), or back.
void SwitchFullScreen() {
    if (!sdl.fullScreen) {
        SDL_GetWindowPosition(sdl.window, &sdl.windowedClient.x, &sdl.windowedClient.y);
        SDL_GetWindowSize(sdl.window, &sdl.windowedClient.w, &sdl.windowedClient.h);
        CoverDesktop();
        return;
    }
    SDL_SetWindowFullscreen(sdl.window, 0);
    SDL_SetWindowBordered(sdl.window, SDL_TRUE);
    SDL_SetWindowSize(sdl.window, sdl.windowedClient.w, sdl.windowedClient.h);
    SDL_SetWindowPosition(sdl.window, sdl.windowedClient.x, sdl.windowedClient.y);
    sdl.fullScreen = false;
}

void AudioCallback(void*, Uint8* stream, int length) {
    sdl.audioFill(reinterpret_cast<int16_t*>(stream), length / 4);
}

} // namespace

namespace backend {

bool CreateNativeWindow(const char* title, DWORD style, int x, int y, int width, int height) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return false;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    const bool captioned = (style & WS_CAPTION) != 0;
    if (captioned) {
        sdl.windowedClient = {x + kBorder, y + kCaption, width - 2 * kBorder,
                              height - kCaption - kBorder};
        sdl.window = SDL_CreateWindow(title, sdl.windowedClient.x, sdl.windowedClient.y,
                                      sdl.windowedClient.w, sdl.windowedClient.h, SDL_WINDOW_SHOWN);
        sdl.fullScreen = false;
    } else {
        // The full-screen display: a borderless window the size of the screen, made
        // full-screen from the start, so it covers the screen even where no window manager
        // would resize it (the 640 x 480 picture is letterboxed into it). Alt+Enter takes it
        // to a window of the display's own size, centred on the screen.
        sdl.windowedClient = {x, y, width, height};
        SDL_DisplayMode screen;
        if (SDL_GetDesktopDisplayMode(0, &screen) == 0) {
            sdl.windowedClient.x = (screen.w - width) / 2;
            sdl.windowedClient.y = (screen.h - height) / 2;
            x = 0;
            y = 0;
            width = screen.w;
            height = screen.h;
        }
        sdl.window = SDL_CreateWindow(title, x, y, width, height,
                                      SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS |
                                          SDL_WINDOW_FULLSCREEN_DESKTOP);
        sdl.fullScreen = true;
    }
    if (!sdl.window)
        return false;
    sdl.renderer = SDL_CreateRenderer(sdl.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!sdl.renderer)
        sdl.renderer = SDL_CreateRenderer(sdl.window, -1, 0);
    if (!sdl.renderer) {
        SDL_DestroyWindow(sdl.window);
        sdl.window = nullptr;
        return false;
    }
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    SDL_RenderPresent(sdl.renderer);
    return true;
}

void DestroyNativeWindow() {
    if (sdl.texture)
        SDL_DestroyTexture(sdl.texture);
    if (sdl.renderer)
        SDL_DestroyRenderer(sdl.renderer);
    if (sdl.window)
        SDL_DestroyWindow(sdl.window);
    sdl.texture = nullptr;
    sdl.renderer = nullptr;
    sdl.window = nullptr;
}

POINT ClientOrigin() {
    POINT origin = {0, 0};
    if (sdl.window && !sdl.exclusive) {
        // Switched to full screen, the windowed configuration keeps drawing where its window
        // was, and that part of the desktop is what covers the screen.
        int x = sdl.windowedClient.x, y = sdl.windowedClient.y;
        if (!sdl.fullScreen)
            SDL_GetWindowPosition(sdl.window, &x, &y);
        origin = {x, y};
    }
    return origin;
}

void SetCursorVisible(bool visible) {
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void PumpEvents() {
    bool closePosted = false; // one close request may arrive as two SDL events
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            if (!closePosted)
                PostWindowMessage(WM_CLOSE, 0, 0);
            closePosted = true;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE && !closePosted) {
                PostWindowMessage(WM_CLOSE, 0, 0);
                closePosted = true;
            }
            break;
        case SDL_KEYDOWN: {
            const bool enter =
                event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER;
            if (enter && (event.key.keysym.mod & KMOD_ALT)) {
                // Alt+Enter is the window's own business (on Windows a system key), never
                // Return: it switches once per press, however long Enter is held.
                if (!event.key.repeat)
                    SwitchFullScreen();
                sdl.switchKeyHeld = true;
                break;
            }
            if (enter && event.key.repeat && sdl.switchKeyHeld)
                break; // Alt let go first: the switching press goes on repeating
            // Held keys repeat, as on Windows; bit 30 of lParam marks a repeat.
            LPARAM flags = 1 | (event.key.repeat ? (LPARAM{1} << 30) : 0);
            PostWindowMessage(WM_KEYDOWN, VirtualKeyOf(event.key.keysym.sym), flags);
            break;
        }
        case SDL_KEYUP:
            if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)
                sdl.switchKeyHeld = false;
            break;
        default:
            break;
        }
    }
}

DesktopFormat Desktop() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return {640, 480, 32};
    return {mode.w, mode.h, static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8};
}

void EnterExclusiveMode() {
    sdl.exclusive = true;
    if (sdl.window && !sdl.fullScreen)
        CoverDesktop();
}

long FullScreenPitch() {
    return 640 * 4;
}

uint32_t FreshSurfaceWord() {
    return 0;
}

void ShowPicture(const uint8_t* pixels, long pitch, int width, int height) {
    if (!sdl.renderer)
        return;
    if (sdl.exclusive) {
        if (!EnsureTexture(width, height))
            return;
        SDL_UpdateTexture(sdl.texture, nullptr, pixels, static_cast<int>(pitch));
    } else {
        // The part of the desktop under the client area, black where it leaves the desktop.
        int clientWidth = sdl.windowedClient.w, clientHeight = sdl.windowedClient.h;
        if (!sdl.fullScreen)
            SDL_GetWindowSize(sdl.window, &clientWidth, &clientHeight);
        if (clientWidth <= 0 || clientHeight <= 0 || !EnsureTexture(clientWidth, clientHeight))
            return;
        POINT origin = ClientOrigin();
        sdl.clientPixels.assign(static_cast<size_t>(clientWidth) * clientHeight, 0);
        for (int row = 0; row < clientHeight; row++) {
            const long y = origin.y + row;
            if (y < 0 || y >= height)
                continue;
            const long first = std::max<long>(0, -origin.x);
            const long end = std::min<long>(clientWidth, width - origin.x);
            if (first >= end)
                continue;
            std::memcpy(&sdl.clientPixels[static_cast<size_t>(row) * clientWidth + first],
                        pixels + y * pitch + (origin.x + first) * 4,
                        static_cast<size_t>(end - first) * 4);
        }
        SDL_UpdateTexture(sdl.texture, nullptr, sdl.clientPixels.data(), clientWidth * 4);
    }
    int outputWidth = 0, outputHeight = 0;
    SDL_GetRendererOutputSize(sdl.renderer, &outputWidth, &outputHeight);
    SDL_Rect place = Letterbox(outputWidth, outputHeight, sdl.textureWidth, sdl.textureHeight);
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    SDL_RenderCopy(sdl.renderer, sdl.texture, nullptr, &place);
    PaceFrame();
    SDL_RenderPresent(sdl.renderer);
}

bool ReadCounter(int64_t* ticks) {
    *ticks = static_cast<int64_t>(SDL_GetPerformanceCounter());
    return true;
}

bool ReadFrequency(int64_t* ticksPerSecond) {
    *ticksPerSecond = static_cast<int64_t>(SDL_GetPerformanceFrequency());
    return *ticksPerSecond > 0;
}

bool OpenAudio(AudioFill fill, int* sampleRate, std::string* error) {
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = 48000;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = AudioCallback;
    SDL_AudioSpec obtained;
    sdl.audioFill = fill;
    const auto open = [&] {
        return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                                   SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    };
    if (SDL_WasInit(SDL_INIT_AUDIO) || SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        sdl.audioDevice = open();
    if (sdl.audioDevice == 0) {
        // A machine without any audio output (a server, a virtual machine) still gets the show,
        // silent, through SDL's null output, and is told so.
        const std::string reason = SDL_GetError();
        if (SDL_WasInit(SDL_INIT_AUDIO))
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (SDL_AudioInit("dummy") == 0)
            sdl.audioDevice = open();
        if (sdl.audioDevice == 0) {
            *error = reason;
            return false;
        }
        std::fprintf(stderr, "demo: no audio output (%s): the show plays without sound\n",
                     reason.c_str());
    }
    *sampleRate = obtained.freq;
    return true;
}

bool StartAudio(std::string* error) {
    if (sdl.audioDevice == 0) {
        *error = "no audio device is open";
        return false;
    }
    SDL_PauseAudioDevice(sdl.audioDevice, 0);
    return true;
}

void CloseAudio() {
    if (sdl.audioDevice != 0)
        SDL_CloseAudioDevice(sdl.audioDevice);
    sdl.audioDevice = 0;
}

} // namespace backend
