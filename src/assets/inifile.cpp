#include "assets/inifile.h"

#include "base/process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

char* CopyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

// Reads the next line without its line break into `line` (at most kIniMaxLineLength characters;
// the rest of a longer line is read and dropped). False at the end of the file.
bool ReadLine(std::FILE* file, std::string* line) {
    line->clear();
    bool cut = false;
    int c = std::getc(file);
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = std::getc(file)) {
        if (static_cast<int>(line->size()) < kIniMaxLineLength)
            line->push_back(static_cast<char>(c));
        else
            cut = true;
    }
    // Text mode on Windows turns CR LF into LF; elsewhere the CR arrives and is dropped here.
    if (!cut && !line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The longest prefix of `text` that forms a decimal number, after leading blanks: an optional
// sign, digits with at most one decimal point (at least one digit in all), and an optional
// exponent ("e" or "E", an optional sign, at least one digit). Empty when there is none. Words
// such as "inf" and "nan" and hexadecimal numbers ("0x10" gives "0") are not decimal numbers.
std::string DecimalPrefix(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const char* start = p;
    if (*p == '+' || *p == '-')
        ++p;
    int digits = 0;
    for (; IsDigit(*p); ++p)
        ++digits;
    if (*p == '.')
        for (++p; IsDigit(*p); ++p)
            ++digits;
    if (digits == 0)
        return std::string();
    const char* end = p;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-')
            ++exponent;
        if (IsDigit(*exponent)) {
            while (IsDigit(*exponent))
                ++exponent;
            end = exponent;
        }
    }
    return std::string(start, end);
}

int32_t CountKeys(const char* path) {
    std::FILE* file = std::fopen(path, "rt");
    if (!file)
        return 0;
    int32_t keys = 0;
    std::string line;
    while (ReadLine(file, &line))
        if (!line.empty() && line[0] == '[')
            ++keys;
    std::fclose(file);
    return keys;
}

} // namespace

IniFile::IniFile(const char* iniPath) : path(nullptr), count(0), entries(nullptr) {
    std::error_code error;
    if (!iniPath || !std::filesystem::exists(iniPath, error)) {
        std::string message = "fichier ini ";
        message += iniPath ? iniPath : "(null)";
        message += " absent";
        FatalError(message.c_str());
    }
    path = CopyText(iniPath);

    int32_t keys = CountKeys(path);
    entries = static_cast<IniEntry*>(std::calloc(keys > 0 ? keys : 1, sizeof(IniEntry)));

    std::FILE* file = std::fopen(path, "rt");
    std::string line;
    while (file && count < keys && ReadLine(file, &line)) {
        if (line.empty() || line[0] != '[')
            continue; // a comment, or anything else that is not a key line
        IniEntry& entry = entries[count++];
        entry.key = CopyText(line.c_str());
        if (!ReadLine(file, &line))
            line.clear();
        entry.value = CopyText(line.c_str());
    }
    if (file)
        std::fclose(file);
}

IniFile::~IniFile() {
    for (int32_t i = 0; i < count; ++i) {
        std::free(entries[i].key);
        std::free(entries[i].value);
    }
    std::free(entries);
    std::free(path);
}

const char* IniFile::FindText(const char* key) const {
    if (!key)
        return nullptr;
    for (int32_t i = 0; i < count; ++i)
        if (std::strcmp(entries[i].key, key) == 0)
            return entries[i].value;
    return nullptr;
}

double IniFile::FindNumber(const char* key) const {
    const char* text = FindText(key);
    if (!text)
        return 0.0;
    return std::strtod(DecimalPrefix(text).c_str(), nullptr);
}
