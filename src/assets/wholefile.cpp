#include "assets/wholefile.h"

#include "base/process.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

[[noreturn]] void CannotOpen(const char* path) {
    std::printf("ca chie! -> impossible d'ouvrir le fichier: %s \n", path);
    EndProcess(2);
}

} // namespace

uint8_t* LoadWholeFile(const char* path, size_t* size) {
    if (!path)
        CannotOpen("(null)");

    // Only a regular file has a size that seeking to its end tells. Opening a directory
    // succeeds on some systems and a named pipe blocks until a writer comes, so look first.
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        CannotOpen(path);

    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        CannotOpen(path);

    long start = std::ftell(file);
    long end = -1;
    if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0)
        end = std::ftell(file);
    if (end < start || std::fseek(file, start, SEEK_SET) != 0) {
        std::fclose(file);
        CannotOpen(path);
    }
    size_t length = static_cast<size_t>(end - start);

    // One byte at least, so that an empty file gives a block rather than a null pointer.
    uint8_t* block = static_cast<uint8_t*>(std::malloc(length > 0 ? length : 1));
    if (!block) {
        std::fclose(file);
        std::printf("no enough memory!! for loading: %s", path);
        EndProcess(1);
    }

    if (std::fread(block, 1, length, file) < length) {
        std::fclose(file);
        std::free(block);
        std::printf("read error: ca chie a la lecture de :%s", path);
        EndProcess(3);
    }
    std::fclose(file);
    if (size)
        *size = length;
    return block;
}
