// Fuzzes one whole patch-writing phase over the in-memory OS, with reads
// and writes of random sizes. The input is a seed byte, then the sample
// values and the four templates, separated by 0xFF bytes (parts that are
// missing are empty).
//
// Properties: every template line read comes out as exactly one line ended
// by CR LF; a line outside a region, or not a parameter line, comes out
// unchanged; parameter lines of regions take the sample values (0..127) in
// order until they run out; the phase stops after the patch at whose end
// they have; "temp" and the templates are left as they were.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/template_rewriter.h"
#include "fileio/failure_report.h"
#include "fileio/io_result.h"
#include "tests/fake_os.h"
#include "tests/fuzz/reference_lines.h"
#include "tests/fuzz/short_transfers.h"

namespace quorbel::fuzzing {
namespace {

constexpr int kTemplateCount = 4;
constexpr char kBaseName[] = "fuzz.pch";

struct Job {
  std::string values;
  std::string templates[kTemplateCount];
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
  for (int n = 0; n < kTemplateCount && n + 1 < static_cast<int>(parts.size());
       ++n) {
    job.templates[n] = std::string(parts[n + 1]);
  }
  return job;
}

std::string templateName(int number) {
  return std::to_string(number) + "Template.pch";
}

std::string patchName(int number) { return std::to_string(number) + kBaseName; }

bool isMarker(std::string_view line, std::string_view marker) {
  if (line.size() != marker.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    char m = marker[i];
    if (m >= 'a' && m <= 'z') m = static_cast<char>(m - 'a' + 'A');
    if (c != m) return false;
  }
  return true;
}

// The patch's lines: it must be a sequence of lines each ended by CR LF.
std::vector<std::string> patchLines(const std::string& patch) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < patch.size()) {
    std::size_t end = patch.find("\r\n", at);
    require(end != std::string::npos, "a patch line lacks its CR LF");
    lines.push_back(patch.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

void checkPatches(const testing::FakeOs& fake, const Job& job) {
  std::size_t used = 0;
  bool inRegion = false;
  int number = 1;
  for (; number <= kTemplateCount; ++number) {
    require(fake.exists(patchName(number)), "a patch is missing");
    std::vector<std::string> read = referenceLines(job.templates[number - 1]);
    std::vector<std::string> written =
        patchLines(fake.contents(patchName(number)));
    require(written.size() == read.size(),
            "the patch does not hold one line per template line");
    for (std::size_t i = 0; i < read.size(); ++i) {
      const std::string& line = read[i];
      if (isMarker(line, "Type=91")) inRegion = true;
      if (isMarker(line, "P16=15")) inRegion = false;
      bool takesValue = inRegion && !line.empty() && line[0] == 'P' &&
                        used < job.values.size();
      if (!takesValue) {
        require(written[i] == line, "a line was changed");
        continue;
      }
      int value = static_cast<unsigned char>(job.values[used++]);
      require(value <= 127, "a value is out of range");
      std::string suffix = std::to_string(value);
      require(written[i].ends_with(suffix), "the value is not the next one");
      std::size_t equals = line.find('=');
      std::size_t kept = equals == std::string::npos ? 0 : equals + 1;
      std::string expected = line.substr(0, kept);
      if (line.size() - kept > 999) expected += line.substr(kept + 999);
      require(written[i] == expected + suffix, "a parameter line is wrong");
    }
    if (used == job.values.size()) break;
  }
  for (++number; number <= kTemplateCount; ++number) {
    require(!fake.exists(patchName(number)), "a patch after the last");
  }
}

void runPhase(const Job& job, std::uint8_t seed) {
  testing::FakeOs fake;
  fake.addFile("temp", job.values);
  for (int n = 1; n <= kTemplateCount; ++n) {
    fake.addFile(templateName(n), job.templates[n - 1]);
  }
  {
    ShortTransfers shortTransfers(fake.table(), seed);
    OsOverride guard(shortTransfers.table());
    IoResult = 0;
    try {
      TemplateRewriter(kBaseName, "sample.raw");
    } catch (const Exception& error) {
      require(false, error.message().c_str());
    }
  }
  require(fake.openHandles() == 2, "a file was left open");
  require(fake.contents("temp") == job.values, "temp changed");
  for (int n = 1; n <= kTemplateCount; ++n) {
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
