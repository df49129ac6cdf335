// IniFile: the two-line entries, lookups, line breaks, and files that break the format.
#include "assets/inifile.h"

#include "process_capture.h"
#include "base/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

namespace {

// Writes `text` as parameters.ini in the current folder.
void WriteIni(const std::string& text) {
    ASSERT_TRUE(WriteFileBytes("parameters.ini", text));
}

} // namespace

TEST(IniFile, KeysMatchWholeWithTheirBrackets) {
    TempWorkingDirectory dir;
    WriteIni("[anim_speed]\n2.5\n[boule_text]\ndata/boule/tex.bmp\n[spaced] \n7\n");
    IniFile ini("parameters.ini");
    EXPECT_EQ(3, ini.count);
    EXPECT_STREQ("parameters.ini", ini.path);
    EXPECT_EQ(2.5, ini.FindNumber("[anim_speed]"));
    EXPECT_EQ(0.0, ini.FindNumber("anim_speed"));
    EXPECT_EQ(nullptr, ini.FindText("[Anim_speed]"));
    EXPECT_STREQ("data/boule/tex.bmp", ini.FindText("[boule_text]"));
    EXPECT_EQ(nullptr, ini.FindText("[spaced]")); // the space stays part of the key
    EXPECT_EQ(7.0, ini.FindNumber("[spaced] "));
    EXPECT_EQ(nullptr, ini.FindText("[missing]"));
    EXPECT_EQ(0.0, ini.FindNumber("[missing]"));
}

TEST(IniFile, NumbersConvertTheLongestDecimalPrefix) {
    TempWorkingDirectory dir;
    WriteIni("[a]\n  12abc\n[b]\nletters\n[c]\n-0.125e1x\n[d]\n\n[a]\n99\n[e]\n0.5");
    IniFile ini("parameters.ini");
    EXPECT_EQ(12.0, ini.FindNumber("[a]")); // the first of two equal keys wins
    EXPECT_EQ(0.0, ini.FindNumber("[b]"));
    EXPECT_EQ(-1.25, ini.FindNumber("[c]"));
    EXPECT_STREQ("", ini.FindText("[d]"));
    EXPECT_EQ(0.5, ini.FindNumber("[e]")); // last line without a line break, taken whole
    EXPECT_STREQ("0.5", ini.FindText("[e]"));

    // Only decimal numbers: no words for infinities or NaN, no hexadecimal.
    const std::pair<const char*, double> values[] = {
        {"nan", 0.0}, {"inf", 0.0}, {"-infinity", 0.0}, {"0x10", 0.0},  {"1.5e2", 150.0},
        {"+.5", 0.5}, {"7.", 7.0},  {"\t-2E-1z", -0.2}, {"3e", 3.0},    {"3e+x", 3.0},
        {".e1", 0.0}, {"-", 0.0},   {"0.1", 0.1},       {"1e-2", 0.01}, {"2.5e+1", 25.0},
    };
    for (const auto& [text, value] : values) {
        WriteIni(std::string("[n]\n") + text + "\n");
        EXPECT_EQ(value, IniFile("parameters.ini").FindNumber("[n]")) << text;
    }
}

TEST(IniFile, CommentsAndLineBreaksChangeNoLookup) {
    TempWorkingDirectory dir;
    const std::string plain = "[x]\n1.5\n[y]\nsome/path.bmp\n";
    const std::string variants[] = {
        plain,
        "; first\n[x]\n1.5\n;between\n[y]\nsome/path.bmp\n; last",
        "[x]\r\n1.5\r\n[y]\r\nsome/path.bmp\r\n",
        "; c\r\n[x]\r\n1.5\r\n[y]\r\nsome/path.bmp\r",
        "[x]\n1.5\n[y]\nsome/path.bmp",
    };
    for (const std::string& text : variants) {
        SCOPED_TRACE(text);
        WriteIni(text);
        IniFile ini("parameters.ini");
        EXPECT_EQ(2, ini.count);
        EXPECT_STREQ("[x]", ini.entries[0].key);
        EXPECT_STREQ("1.5", ini.entries[0].value);
        EXPECT_STREQ("[y]", ini.entries[1].key);
        EXPECT_STREQ("some/path.bmp", ini.entries[1].value);
    }
}

TEST(IniFile, EmptyFileAndFolderGiveNoEntries) {
    TempWorkingDirectory dir;
    WriteIni("");
    IniFile empty("parameters.ini");
    EXPECT_EQ(0, empty.count);
    EXPECT_EQ(nullptr, empty.FindText("[x]"));
    std::filesystem::create_directory("folder.ini");
    IniFile folder("folder.ini");
    EXPECT_EQ(0, folder.count);
}

TEST(IniFile, MissingFileIsFatal) {
    TempWorkingDirectory dir;
    EXPECT_EQ(kFatalExitCode, ExitCodeOf([] { IniFile ini("data/boule/boule.ini"); }));
    EXPECT_STREQ("fichier ini data/boule/boule.ini absent", LastFatalMessage());
}

TEST(IniFile, FilesThatBreakThePairingLoadWithDocumentedResults) {
    TempWorkingDirectory dir;
    // A blank line and a stray line where keys are expected are skipped; a value beginning
    // with '[' is still a value; a key on the last line gets an empty value.
    WriteIni("\n[a]\n1\n\nstray\n[b]\n[c]\n[d]\n4\n[last]");
    IniFile ini("parameters.ini");
    EXPECT_EQ(4, ini.count);
    EXPECT_EQ(1.0, ini.FindNumber("[a]"));
    EXPECT_STREQ("[c]", ini.FindText("[b]"));
    EXPECT_EQ(nullptr, ini.FindText("[c]"));
    EXPECT_EQ(4.0, ini.FindNumber("[d]"));
    EXPECT_STREQ("", ini.FindText("[last]"));
}

TEST(IniFile, OverlongLinesAreCutWithoutBecomingLinesOfTheirOwn) {
    TempWorkingDirectory dir;
    std::string longKey = "[" + std::string(3000, 'k') + "]";
    std::string longValue = "3.25" + std::string(2000, '0') + "[" + std::string(1500, 'v');
    WriteIni(longKey + "\n" + longValue + "\n[after]\n8\n");
    IniFile ini("parameters.ini");
    EXPECT_EQ(2, ini.count);
    EXPECT_EQ(std::string(longKey, 0, kIniMaxLineLength), ini.entries[0].key);
    EXPECT_EQ(std::string(longValue, 0, kIniMaxLineLength), ini.entries[0].value);
    EXPECT_EQ(3.25, ini.FindNumber(ini.entries[0].key));
    EXPECT_EQ(8.0, ini.FindNumber("[after]"));
    // Exactly the longest line that fits is kept whole.
    std::string fits = "[" + std::string(kIniMaxLineLength - 1, 'f');
    WriteIni(fits + "\r\nx\r\n");
    IniFile edge("parameters.ini");
    EXPECT_STREQ("x", edge.FindText(fits.c_str()));
}
