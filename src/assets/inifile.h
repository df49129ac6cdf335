// The scene parameter file: two-line entries, a key line "[name]" and its value line.
//
//   ; a comment
//   [anim_speed]
//   2.5
//
// Lines that begin with ';' where a key line could stand are comments. Keys are compared whole,
// brackets included, exactly and case-sensitively. LF and CR LF line breaks give the same
// entries (a CR right before the LF, or at the very end of the file, is part of the break); a
// last line without a line break is taken whole.
//
// Files that break the format still load, with these results:
// - A line longer than kIniMaxLineLength characters keeps its first kIniMaxLineLength; the rest
//   of that line, up to its line break, is dropped (it does not become a line of its own).
// - Where a key line is expected, any line that does not begin with '[' is skipped like a
//   comment: blank lines, stray values and other text take no entry and shift nothing.
// - The line after a key line is that key's value, whatever it holds (even a leading '[').
// - A key line that is the file's last line gets the empty value "" (FindNumber gives 0.0).
// - `count` is the number of entries actually made, which is below the number of lines that
//   begin with '[' when some of those lines were taken as values.
// - NUL bytes in a line end its text there.
#pragma once

#include <cstdint>

// Characters a line may hold before its line break (the reader's line buffer is 1024 bytes).
constexpr int kIniMaxLineLength = 1022;

struct IniEntry {
    char* key;   // the key line without its line break (owned)
    char* value; // the value line without its line break (owned)
};

class IniFile {
  public:
    // Loads the file. A missing file is fatal: FatalError("fichier ini <path> absent"), exit
    // code 9999. An existing file that cannot be read (a folder) gives no entries.
    explicit IniFile(const char* path);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    ~IniFile();

    // The value text of the first entry whose key equals `key`, or null. The text lives as long
    // as the IniFile.
    const char* FindText(const char* key) const;
    // The value of the first entry whose key equals `key`: leading blanks skipped, then the
    // longest prefix that forms a decimal number (sign, digits, decimal point, exponent, as in
    // "-1.5e2"), rounded to the nearest double; 0.0 when there is no such prefix ("inf", "nan",
    // letters) or no key matches. "0x10" reads as 0.
    double FindNumber(const char* key) const;

    char* path;        // the file's path (owned copy)
    int32_t count;     // number of entries
    IniEntry* entries; // `count` entries in file order (owned)
};
