// One run of the program: the dialogue on the console, the two phases that
// turn the input file into patches, and the completion.
#pragma once

#include <string>

namespace quorbel {

// The run's body, between start-up and shutdown.
void driveRun();

// The typed patch name, with ".pch" appended unless it already holds
// ".pch" somewhere (case-sensitive).
std::string patchBaseName(std::string typed);

}  // namespace quorbel
