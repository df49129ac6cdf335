// LoadWholeFile: the whole content and its length, and the three ways it ends the process.
#include "assets/wholefile.h"

#include "process_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef __unix__
#include <sys/stat.h>
#endif

TEST(WholeFile, ReturnsEveryByteAndTheLength) {
    TempWorkingDirectory dir;
    std::string content("LWOB\0\0\x01\x02\r\n\x1a tail", 15);
    ASSERT_TRUE(WriteFileBytes("f.bin", content));
    size_t size = 0;
    uint8_t* block = LoadWholeFile("f.bin", &size);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(content.size(), size);
    EXPECT_EQ(content, std::string(reinterpret_cast<char*>(block), size));
    std::free(block);

    ASSERT_TRUE(WriteFileBytes("empty.bin", ""));
    block = LoadWholeFile("empty.bin", &size);
    EXPECT_NE(nullptr, block);
    EXPECT_EQ(0u, size);
    std::free(block);
    std::free(LoadWholeFile("f.bin")); // the length is optional
}

TEST(WholeFile, WhatCannotBeOpenedEndsWithCodeTwo) {
    TempWorkingDirectory dir;
    std::filesystem::create_directory("folder");
    std::vector<std::string> paths = {"missing.lwo", "folder"};
#ifdef __unix__
    // A named pipe would block a plain open until a writer came.
    ASSERT_EQ(0, mkfifo("pipe", 0600));
    paths.push_back("pipe");
#endif
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::string printed;
        EXPECT_EQ(2, ExitCodeAndOutputOf([&] { LoadWholeFile(path.c_str()); }, &printed));
        EXPECT_EQ("ca chie! -> impossible d'ouvrir le fichier: " + path + " \n", printed);
    }
}

TEST(WholeFile, FileShorterThanItsSizeEndsWithCodeThree) {
    // Kernel attribute files report a size of one page but hold a few bytes.
    const char* path = "/sys/devices/system/cpu/online";
    if (!std::filesystem::is_regular_file(path) || std::filesystem::file_size(path) < 64)
        GTEST_SKIP() << "no file here that is shorter than its size";
    std::string printed;
    EXPECT_EQ(3, ExitCodeAndOutputOf([&] { LoadWholeFile(path); }, &printed));
    EXPECT_EQ(std::string("read error: ca chie a la lecture de :") + path, printed);
}
