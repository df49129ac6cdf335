#include "fuzz_support.h"

#include "base/process.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowProcessEnd(int code) {
    throw FuzzProcessEnd{code};
}

} // namespace

void PrepareFuzzing() {
    SetProcessEndHandler(ThrowProcessEnd);
    if (!std::freopen("/dev/null", "w", stdout))
        std::perror("stdout");
}

const std::string& WriteInput(const uint8_t* data, size_t size, const char* extension) {
    // Memory-backed when the machine has it: inputs are written tens of thousands of times.
    static const std::string folder = std::filesystem::is_directory("/dev/shm")
                                          ? "/dev/shm"
                                          : std::filesystem::temp_directory_path().string();
    static std::string path;
    path = folder + "/demo-fuzz-" + std::to_string(getpid()) + extension;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
        if (size)
            std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return path;
}
