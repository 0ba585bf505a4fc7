// Fuzzes one whole patch-writing phase over the in-memory OS, with reads
// and writes of random sizes. The input is a seed byte, then the sample
// values and the four templates, separated by 0xFF bytes (parts that are
// missing are empty).
//
// Properties: the patches are exactly those of the reference rules (every
// template line comes out as one line ended by CR LF, parameter lines of
// regions take the values in order, the phase stops after the patch at
// whose end they have run out); no file is left open; "temp" and the
// templates are left as they were.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/names_and_limits.h"
#include "app/template_rewriter.h"
#include "fileio/errors.h"
#include "fileio/io_result.h"
#include "tests/fake_os.h"
#include "tests/fuzz/short_transfers.h"
#include "tests/reference_rules.h"

namespace quorbel::fuzzing {
namespace {

constexpr char kBaseName[] = "fuzz.pch";

struct Job {
  std::string values;
  std::string templates[kPatchCount];
};

Job parse(std::string_view input) {
  Job job;
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    std::size_t end = input.find('\xFF', at);
    parts.push_back(input.substr(at, end - at));
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  // "temp" is made by halving input bytes, so it only ever holds 0..127.
  for (char c : parts[0]) {
    job.values += static_cast<char>(static_cast<unsigned char>(c) >> 1);
  }
  for (int n = 0; n < kPatchCount && n + 1 < static_cast<int>(parts.size());
       ++n) {
    job.templates[n] = std::string(parts[n + 1]);
  }
  return job;
}

std::string patchName(int number) { return std::to_string(number) + kBaseName; }

// The patches are those of the reference, and no more.
void checkPatches(const testing::FakeOs& fake, const Job& job) {
  std::vector<testing::Lines> templates;
  for (const std::string& source : job.templates) {
    templates.push_back(testing::referenceLines(source));
  }
  std::vector<testing::Lines> expected =
      testing::referencePatches(templates, job.values);
  for (int number = 1; number <= kPatchCount; ++number) {
    if (number > static_cast<int>(expected.size())) {
      require(!fake.exists(patchName(number)), "a patch after the last");
    } else {
      require(fake.exists(patchName(number)), "a patch is missing");
      require(fake.contents(patchName(number)) ==
                  testing::crlf(expected[number - 1]),
              "a patch differs from the reference");
    }
  }
}

void runPhase(const Job& job, std::uint8_t seed) {
  testing::FakeOs fake;
  fake.addFile("temp", job.values);
  for (int n = 1; n <= kPatchCount; ++n) {
    fake.addFile(templateName(n), job.templates[n - 1]);
  }
  {
    ShortTransfers shortTransfers(fake.table(), seed);
    OsOverride guard(shortTransfers.table());
    IoResult = 0;
    try {
      rewriteTemplates(kBaseName, protectedFiles("sample.raw"));
    } catch (const Exception& error) {
      require(false, error.message().c_str());
    }
  }
  require(fake.openHandles() == 2, "a file was left open");
  require(fake.contents("temp") == job.values, "temp changed");
  for (int n = 1; n <= kPatchCount; ++n) {
    require(fake.contents(templateName(n)) == job.templates[n - 1],
            "a template changed");
  }
  checkPatches(fake, job);
}

}  // namespace
}  // namespace quorbel::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  quorbel::fuzzing::runPhase(quorbel::fuzzing::parse(input), data[0]);
  return 0;
}
