#include "run_folder.h"

#include "base/process.h"
#include "mkdata/byte_writer.h"
#include "process_capture.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/display.h"

#include <filesystem>

std::string TinyXmModule() {
    const unsigned channels = 2, rows = 64;
    ByteWriter out;
    out.Text("Extended Module: ", 17);
    out.Text("test", 20);
    out.U8(0x1A);
    out.Text("demo tests", 20);
    out.U16(0x0104);
    out.U32(276); // header size, order table included
    out.U16(1);   // song length
    out.U16(0);   // restart position
    out.U16(channels);
    out.U16(1);     // patterns
    out.U16(1);     // instruments
    out.U16(1);     // linear frequency table
    out.U16(6);     // speed
    out.U16(125);   // BPM
    out.Zeros(256); // order table: pattern 0
    // Pattern 0: every cell empty (one 0x80 byte each).
    out.U32(9);
    out.U8(0);
    out.U16(rows);
    out.U16(rows * channels);
    out.bytes.insert(out.bytes.end(), rows * channels, 0x80);
    // One instrument without samples: 29 common bytes and the sample-header size.
    out.U32(33);
    out.Text("empty", 22);
    out.U8(0);
    out.U16(0);
    out.U32(0);
    return std::string(out.bytes.begin(), out.bytes.end());
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
