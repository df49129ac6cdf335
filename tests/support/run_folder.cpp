#include "run_folder.h"

#include "base/process.h"
#include "process_capture.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/display.h"

#include <filesystem>

namespace {

void PutU16(std::string& bytes, unsigned value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
}

void PutU32(std::string& bytes, unsigned value) {
    PutU16(bytes, value & 0xFFFF);
    PutU16(bytes, value >> 16);
}

void PutText(std::string& bytes, const std::string& text, size_t length) {
    std::string field = text.substr(0, length);
    field.resize(length, ' ');
    bytes += field;
}

} // namespace

std::string TinyXmModule() {
    const unsigned channels = 2, rows = 64;
    std::string bytes;
    PutText(bytes, "Extended Module: ", 17);
    PutText(bytes, "test", 20);
    bytes += '\x1A';
    PutText(bytes, "demo tests", 20);
    PutU16(bytes, 0x0104);
    PutU32(bytes, 276); // header size, order table included
    PutU16(bytes, 1);   // song length
    PutU16(bytes, 0);   // restart position
    PutU16(bytes, channels);
    PutU16(bytes, 1);                // patterns
    PutU16(bytes, 1);                // instruments
    PutU16(bytes, 1);                // linear frequency table
    PutU16(bytes, 6);                // speed
    PutU16(bytes, 125);              // BPM
    bytes += std::string(256, '\0'); // order table: pattern 0
    // Pattern 0: every cell empty (one 0x80 byte each).
    PutU32(bytes, 9);
    bytes += '\0';
    PutU16(bytes, rows);
    PutU16(bytes, rows * channels);
    bytes += std::string(rows * channels, '\x80');
    // One instrument without samples: 29 common bytes and the sample-header size.
    PutU32(bytes, 33);
    PutText(bytes, "empty", 22);
    bytes += '\0';
    PutU16(bytes, 0);
    PutU32(bytes, 0);
    return bytes;
}

void PrepareRunFolder() {
    namespace fs = std::filesystem;
    fs::create_directories("data");
    const fs::path generated = fs::path(DEMO_BINARY_DIR) / "data";
    std::error_code ignored;
    if (fs::is_directory(generated, ignored)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(generated, ignored)) {
            const fs::path link = fs::path("data") / entry.path().filename();
            std::error_code noLink;
            fs::create_symlink(entry.path(), link, noLink);
            if (noLink) // a system without symbolic links (Windows) gets copies
                fs::copy(entry.path(), link, fs::copy_options::recursive, ignored);
        }
    }
    if (!fs::exists("data/mirel.xm"))
        WriteFileBytes("data/mirel.xm", TinyXmModule());
}

bool ShowDataGenerated() {
    return std::filesystem::exists(std::filesystem::path(DEMO_BINARY_DIR) /
                                   "data/particules/forme.bmp");
}

ProgramResult RunProgram() {
    ResetShellState();
    ProgramResult result;
    result.exitCode = ExitCodeAndOutputOf([] { EndProcess(WinMain(nullptr, nullptr, nullptr, 0)); },
                                          &result.output);
    return result;
}

void StartHeadlessDisplay() {
    ResetShellState();
    WNDCLASS windowClass = {};
    windowClass.lpfnWndProc = DemoWindowProc;
    windowClass.lpszClassName = "DOZEZER";
    RegisterClass(&windowClass);
    mainWindow = CreateWindowEx(0, "DOZEZER", "Duziv2i", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                nullptr, nullptr, nullptr, nullptr);
    InitDisplay(mainWindow);
    InitSceneClock();
    ResetSceneClock();
    theDemo = new Demo;
}

void MoveClockForward(double seconds, int64_t extraTicks) {
    const int64_t ticksPerSecond = headless::kTicksPerFrame * 60;
    headless::AdvanceClock(static_cast<int64_t>(seconds * ticksPerSecond) + extraTicks);
}
