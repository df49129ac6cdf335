// Reading a whole file into memory.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns a new block (std::malloc; the caller frees it) holding the whole file, and its length
// in *size when size is not null. Never fails to the caller: it prints a message and ends the
// process with exit code 2 (cannot open, or not a regular file whose size can be taken),
// 1 (no memory) or 3 (short read).
uint8_t* LoadWholeFile(const char* path, size_t* size = nullptr);
