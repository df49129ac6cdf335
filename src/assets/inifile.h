// The scene parameter file: two-line entries, a key line "[name]" and its value line.
//
// Lines that begin with ';' where a key line could stand are comments. Keys are compared whole,
// brackets included, exactly and case-sensitively. The file is read in text mode, so LF and
// CR LF line breaks give the same entries; a last line without a line break is taken whole.
#pragma once

#include <cstdint>

struct IniEntry {
    char* key;   // the key line without its line break (owned)
    char* value; // the value line without its line break (owned)
};

class IniFile {
public:
    // Loads the file. A missing file is fatal: FatalError("fichier ini <path> absent").
    explicit IniFile(const char* path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    ~IniFile();

    // The value text of the first entry whose key equals `key`, or null. The text lives as long
    // as the IniFile.
    const char* FindText(const char* key) const;
    // The value of the first entry whose key equals `key`, converted like strtod (leading blanks
    // skipped, the longest decimal prefix, 0.0 if none); 0.0 when no key matches.
    double FindNumber(const char* key) const;

    char* path;         // the file's path (owned copy)
    int32_t count;      // number of entries
    IniEntry* entries;  // `count` entries in file order (owned)
};
