// Byte files: a fixed record size and no buffer, so every transfer is one
// call to the OS and what was written is at the OS at once.
#pragma once

#include <cstdint>

#include "fileio/checked_file.h"

namespace quorbel::bytefile {

// Opens the bound file with the access and sharing of DefaultOpenMode; the
// file must exist. The empty name takes standard input.
void openRead(CheckedFile& file, std::uint32_t recordSize);

// Opens the bound file for reading only, whatever the access of
// DefaultOpenMode, with its sharing; the file must exist. A named file is
// then open for input only. The empty name takes standard input.
void openReadOnly(CheckedFile& file, std::uint32_t recordSize);

// Creates the bound file for reading and writing, or empties an existing
// one. The empty name takes standard output.
void create(CheckedFile& file, std::uint32_t recordSize);

// One OS read of count records. With a count result, it receives the number
// of whole records read; without one, fewer than count gives 100.
void readRecords(CheckedFile& file, void* records, std::uint32_t count,
                 std::uint32_t* countResult = nullptr);

// One OS write of count records. Without a count result, fewer whole
// records written than count gives 101.
void writeRecords(CheckedFile& file, const void* records, std::uint32_t count,
                  std::uint32_t* countResult = nullptr);

// True when the position has reached the size. Asks the OS both every time;
// a failed query sets its error and answers true.
bool atEnd(CheckedFile& file);

}  // namespace quorbel::bytefile
