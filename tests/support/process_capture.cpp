#include "process_capture.h"

#include "base/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowProcessEnded(int exitCode) {
    throw ProcessEnded{exitCode};
}

std::vector<std::string>* recordedTraces = nullptr;

void RecordTrace(const char* text) {
    if (recordedTraces)
        recordedTraces->push_back(text);
}

} // namespace

CatchProcessEnd::CatchProcessEnd() {
    SetProcessEndHandler(ThrowProcessEnded);
}
CatchProcessEnd::~CatchProcessEnd() {
    SetProcessEndHandler(nullptr);
}

int ExitCodeOf(const std::function<void()>& body) {
    CatchProcessEnd catcher;
    try {
        body();
    } catch (const ProcessEnded& ended) {
        return ended.code;
    }
    return -1;
}

int ExitCodeAndOutputOf(const std::function<void()>& body, std::string* printed) {
    testing::internal::CaptureStdout();
    int code = -1;
    try {
        code = ExitCodeOf(body);
    } catch (...) {
        std::fflush(stdout);
        testing::internal::GetCapturedStdout(); // let the test report what was thrown
        throw;
    }
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    if (printed)
        *printed = out;
    return code;
}

TraceRecorder::TraceRecorder() {
    recordedTraces = new std::vector<std::string>();
    SetTraceSink(RecordTrace);
}
TraceRecorder::~TraceRecorder() {
    SetTraceSink(nullptr);
    delete recordedTraces;
    recordedTraces = nullptr;
}
const std::vector<std::string>& TraceRecorder::Texts() const {
    return *recordedTraces;
}
bool TraceRecorder::Contains(const std::string& text) const {
    for (const std::string& t : *recordedTraces)
        if (t == text)
            return true;
    return false;
}

TempWorkingDirectory::TempWorkingDirectory() {
    namespace fs = std::filesystem;
    previous_ = fs::current_path().string();
    std::random_device seed;
    std::mt19937_64 random(seed());
    fs::path dir;
    do {
        dir = fs::temp_directory_path() / ("demo-test-" + std::to_string(random()));
    } while (fs::exists(dir));
    fs::create_directories(dir);
    path_ = dir.string();
    fs::current_path(dir);
}

TempWorkingDirectory::~TempWorkingDirectory() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    fs::path p(path);
    std::error_code ignored;
    if (p.has_parent_path())
        fs::create_directories(p.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
