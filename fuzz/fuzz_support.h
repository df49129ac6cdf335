// Shared by the fuzz targets: inputs become files (the readers take paths), and process ends
// become exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Thrown instead of ending the process.
struct FuzzProcessEnd {
    int code;
};

// Installs the throwing end handler and silences standard output (the readers print their
// failure messages there). Call once, from LLVMFuzzerInitialize.
void PrepareFuzzing();

// Writes the input to this process's scratch file and returns its path.
const std::string& WriteInput(const uint8_t* data, size_t size, const char* extension);
