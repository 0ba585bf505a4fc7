// One run of the program: the dialogue on the console, the two phases that
// turn the input file into patches, and the completion.
#pragma once

#include <string>
#include <string_view>

#include "fileio/checked_file.h"

namespace quorbel {

// The scratch file of sample values, in the working directory.
inline constexpr char kScratchFileName[] = "temp";

// The run's body, between start-up and shutdown.
void RunDriver();

// The typed patch name, with ".pch" appended unless it already holds
// ".pch" somewhere (case-sensitive).
std::string patchBaseName(std::string typed);

// One checked line: read (without its line end) or written (with CR LF).
void readLine(CheckedFile& file, std::string& line);
void writeLine(CheckedFile& file, std::string_view line);

}  // namespace quorbel
