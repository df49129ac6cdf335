// The photosensitivity note: a few sentences made from the flash check's verdict, kept in the
// files a viewer reads before the show (the README, the web page, the Windows zip's README.txt,
// an AppStream description).
//
// In each file the note sits between two marker lines, which the note never changes:
//
//     <!-- flash-note:begin (written by demo-render's flash check, with its note option) -->
//     ...the note...
//     <!-- flash-note:end -->
//
// A line holding "flash-note:begin" starts the block, the next holding "flash-note:end" ends it.
// The text between is laid out for the file's kind, chosen by its extension: .md (Markdown) and
// .txt lines of plain words (.txt wrapped narrower, for Notepad), .html escaped text for the
// element the markers sit in, .xml one AppStream <p> element.
#pragma once

#include "render/flash.h"

#include <string>

namespace render {

// The note's sentences for a finished analysis of the whole show, on one line.
std::string FlashNote(const FlashAnalysis& analysis, double firstSeconds);

// The block for a file of the kind `path` names: the lines between the markers, each ending in
// '\n', indented by `indent`.
std::string NoteBlock(const std::string& path, const std::string& note, const std::string& indent);

enum class NoteAction { kWrite, kCompare };

// Puts `note` between the markers of the file at `path` (kWrite), or compares what is there
// with it (kCompare; *current says whether they are equal). A file that does not exist is
// written with the markers and the note alone. False with a message when the file cannot be
// read or written, or has no markers (or only one), and on kCompare when it does not exist.
bool UpdateNoteFile(const std::string& path, const std::string& note, NoteAction action,
                    bool* current, std::string* error);

} // namespace render
