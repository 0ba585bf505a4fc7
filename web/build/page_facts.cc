// The names and the limit that the page needs, taken from the programs
// themselves so that the page never writes a rule of theirs again. Called
// by the page in an instance of quorbel-preview, in place of main, which
// then makes its previews.
#include <emscripten.h>

#include <cstdio>

#include "app/names_and_limits.h"

// Prints, one item a line:
//   template NAME   the templates a run reads, in patch order
//   scratch NAME    the scratch file a run makes and deletes
//   limit N         the most input bytes a run takes
extern "C" EMSCRIPTEN_KEEPALIVE int quorbelFacts() {
  using namespace quorbel;
  for (int number = 1; number <= kPatchCount; ++number) {
    std::printf("template %s\n", templateName(number).c_str());
  }
  std::printf("scratch %s\n", kScratchFileName);
  std::printf("limit %u\n", kSampleLimit);
  std::fflush(stdout);
  return 0;
}
