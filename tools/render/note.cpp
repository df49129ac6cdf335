#include "render/note.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace render {
namespace {

namespace fs = std::filesystem;

const char* const kBeginMarker = "flash-note:begin";
const char* const kEndMarker = "flash-note:end";

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else
            escaped += c;
    }
    return escaped;
}

// The words of `text` in lines of at most `width` characters after `indent` (a longer word
// stands alone on its line).
std::string Wrapped(const std::string& text, size_t width, const std::string& indent) {
    std::istringstream words(text);
    std::string word, line, lines;
    while (words >> word) {
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > width) {
            lines += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        lines += indent + line + "\n";
    return lines;
}

bool ReadWhole(const std::string& path, std::string* text) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    *text = bytes.str();
    return !file.bad();
}

// Writes a new file beside `path` and puts it in its place, so that a failed write leaves the
// old file whole.
bool WriteWhole(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    std::error_code error;
    if (!file.fail())
        fs::rename(temporary, path, error);
    if (file.fail() || error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

} // namespace

std::string FlashNote(const FlashAnalysis& analysis, double firstSeconds) {
    const std::string pictures = std::to_string(analysis.Pictures());
    std::string pictureCount = pictures;
    for (int i = static_cast<int>(pictureCount.size()) - 3; i > 0; i -= 3)
        pictureCount.insert(static_cast<size_t>(i), ",");
    const std::string field = "a 10-degree field of view (" + std::to_string(kFieldWidth) + " x " +
                              std::to_string(kFieldHeight) +
                              " pixels of the 640 x 480 display at full screen)";
    const std::string checked = "demo-render --flash-check went through all " + pictureCount +
                                " pictures (" + std::to_string(analysis.FramesPerSecond()) +
                                " a second)";
    const std::vector<FlashSecond>& failing = analysis.FailingSeconds();
    if (failing.empty()) {
        const FlashSecond& worst = analysis.Worst();
        const long area = std::max(worst.general.area, worst.red.area);
        return "Photosensitivity: the show stays within the general-flash and red-flash "
               "thresholds of WCAG 2.2 (success criterion 2.3.1). " +
               checked + ": in no second does more than a quarter of " + field +
               " flash more than three times" +
               (area > 0 ? " (the most is " + std::to_string(area) + " pixels, at " +
                               ClockTime(firstSeconds + static_cast<double>(worst.second)) + ")"
                         : std::string()) +
               ". The show is bright and fast all the same: if light or movement affects you, "
               "take care.";
    }
    bool general = false, red = false;
    for (const FlashSecond& second : failing) {
        general = general || second.general.Fails();
        red = red || second.red.Fails();
    }
    const std::string rules = general && red ? "general-flash and red-flash thresholds"
                              : general      ? "general-flash threshold"
                                             : "red-flash threshold";
    // Stretches of the show rather than every second: failing seconds up to five apart are one.
    std::string times = FailingTimes(analysis, firstSeconds, 5);
    const size_t lastComma = times.rfind(", ");
    if (lastComma != std::string::npos)
        times.replace(lastComma, 2, " and ");
    return "Photosensitivity warning: the show has flashing beyond the " + rules +
           " of WCAG 2.2 (success criterion 2.3.1) in " +
           (lastComma == std::string::npos ? "the stretch " : "the stretches ") + times +
           " (minutes:seconds). It may trigger seizures in people with photosensitive epilepsy. "
           "Found by demo-render --flash-check over all " +
           pictureCount + " pictures, taking a 10-degree field of view as " +
           std::to_string(kFieldWidth) + " x " + std::to_string(kFieldHeight) +
           " pixels of the 640 x 480 display at full screen.";
}

std::string NoteBlock(const std::string& path, const std::string& note, const std::string& indent) {
    const std::string extension = fs::path(path).extension().string();
    if (extension == ".html" || extension == ".htm")
        return Wrapped(Escaped(note), 100, indent);
    if (extension == ".xml")
        return Wrapped("<p>" + Escaped(note) + "</p>", 100, indent);
    if (extension == ".txt")
        return Wrapped(note, 95, indent);
    return Wrapped(note, 100, indent);
}

bool UpdateNoteFile(const std::string& path, const std::string& note, NoteAction action,
                    bool* current, std::string* error) {
    *current = false;
    std::string text;
    if (!fs::exists(path)) {
        if (action == NoteAction::kCompare) {
            *error = path + " does not exist";
            return false;
        }
        text = std::string("<!-- ") + kBeginMarker +
               // No "--" inside the comment: XML comments may not hold it.
               " (written by demo-render's flash check, with its note option) -->\n" +
               NoteBlock(path, note, "") + "<!-- " + kEndMarker + " -->\n";
        if (!WriteWhole(path, text)) {
            *error = "cannot write " + path;
            return false;
        }
        return true;
    }
    if (!ReadWhole(path, &text)) {
        *error = "cannot read " + path;
        return false;
    }
    // The block: from the line after the begin marker's to the start of the end marker's line.
    const size_t begin = text.find(kBeginMarker);
    const size_t blockStart = begin == std::string::npos ? begin : text.find('\n', begin);
    const size_t end =
        blockStart == std::string::npos ? blockStart : text.find(kEndMarker, blockStart);
    if (end == std::string::npos) {
        *error = path + " has no lines marked " + kBeginMarker + " and " + kEndMarker +
                 ": add them where the note belongs";
        return false;
    }
    const size_t beginLine = text.rfind('\n', begin);
    const size_t lineStart = beginLine == std::string::npos ? 0 : beginLine + 1;
    const std::string indent =
        text.substr(lineStart, text.find_first_not_of(" \t", lineStart) - lineStart);
    const size_t endLine = text.rfind('\n', end) + 1;
    const std::string block = NoteBlock(path, note, indent);
    *current = text.compare(blockStart + 1, endLine - (blockStart + 1), block) == 0;
    if (action == NoteAction::kCompare || *current)
        return true;
    text.replace(blockStart + 1, endLine - (blockStart + 1), block);
    if (!WriteWhole(path, text)) {
        *error = "cannot write " + path;
        return false;
    }
    *current = true;
    return true;
}

} // namespace render
