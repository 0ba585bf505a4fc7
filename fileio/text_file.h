// Text files: lines through the 128-byte buffer inside the record.
//
// A line ends at a carriage return; CR LF counts as one line end and a bare
// line feed is an ordinary character (on a platform whose terminal ends a
// typed line with a bare line feed, standard input ends a line there too).
// Ctrl-Z ends a text file and is never consumed. Lines are written with
// CR LF. Written text reaches a console at every line end, and a disk file
// or a pipe only when the buffer fills and at close.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fileio/checked_file.h"

namespace quorbel::textfile {

// Opens the bound file for reading; it must exist. The empty name takes
// standard input.
void openRead(CheckedFile& file);

// Creates the bound file for writing, or empties an existing one. The empty
// name takes standard output. A device whose type the OS cannot tell
// refuses text output (105).
void create(CheckedFile& file);

// Fills line with the characters up to the next line end or the end of the
// file; the line end itself stays. Reading StandardInput opens it on demand.
void readText(CheckedFile& file, std::string& line);

// Takes the rest of the line and its line end.
void skipLine(CheckedFile& file);

// True at the end of the data or at a Ctrl-Z.
bool atEnd(CheckedFile& file);

// Writing StandardOutput creates it on demand.
void writeText(CheckedFile& file, std::string_view text);

// Writes CR LF, then reaches the device at once if it is a console.
void writeLineEnd(CheckedFile& file);

// One line read and checked: readText, skipLine, then checkIo.
void readLine(CheckedFile& file, std::string& line);

// One line written and checked: writeText, writeLineEnd, then checkIo.
void writeLine(CheckedFile& file, std::string_view line);

// The slot that bindName sets: opens the file for reading when its state is
// input, creates it for writing when its state is output.
std::int32_t openOrCreate(CheckedFile& file);

}  // namespace quorbel::textfile
