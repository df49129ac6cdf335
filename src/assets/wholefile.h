// Reading a whole file into memory.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns a new block (std::malloc; the caller frees it with std::free) holding the whole file,
// and its length in *size when size is not null. An empty file gives a valid block of length 0.
//
// Never fails to the caller: it prints one line to standard output and ends the process with
//   2 "ca chie! -> impossible d'ouvrir le fichier: <path> \n": the file cannot be opened, or it
//     is not a regular file whose size can be taken (a directory, a pipe, a device);
//   1 "no enough memory!! for loading: <path>": the block cannot be allocated;
//   3 "read error: ca chie a la lecture de :<path>": fewer bytes arrive than the size taken.
// The file is closed, and the block released, before the process ends.
uint8_t* LoadWholeFile(const char* path, size_t* size = nullptr);
