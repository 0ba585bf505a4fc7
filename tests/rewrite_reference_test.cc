// Runs over many values and four generated templates, compared with the
// patches of the reference rules: the value order, regions across
// templates, markers, and the stop rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/end_to_end_fixture.h"
#include "tests/reference_rules.h"

namespace quorbel::testing {
namespace {

struct ReferenceCase {
  std::size_t inputLength;
  int linesPerTemplate;
  unsigned seed;
  std::size_t patches;
  friend void PrintTo(const ReferenceCase& c, std::ostream* out) {
    *out << c.inputLength << " values, seed " << c.seed;
  }
};

class ReferenceTest : public EndToEndTest,
                      public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(ReferenceTest, WritesThePatchesThatTheRulesMake) {
  std::mt19937 random(GetParam().seed);
  std::string input = sampleBytes(GetParam().inputLength, GetParam().seed);
  put("in.raw", input);
  std::vector<Lines> templates;
  for (int n = 1; n <= 4; ++n) {
    templates.push_back(randomTemplate(random, GetParam().linesPerTemplate));
    putTemplate(n, templates.back());
  }
  std::vector<Lines> patches = referencePatches(templates, halved(input));
  // The case covers what its row promises.
  ASSERT_EQ(patches.size(), GetParam().patches);
  for (std::size_t i = 0; i < patches.size(); ++i) {
    expected[std::to_string(i + 1) + "demo.pch"] = crlf(patches[i]);
  }
  RunOutcome outcome = run("in.raw", "demo");
  expectFinished(outcome, input.size() > 2048);
}

// All four templates with values left over; values running out in a later
// template; and in the first.
INSTANTIATE_TEST_SUITE_P(Runs, ReferenceTest,
                         ::testing::Values(ReferenceCase{2048, 1000, 1, 4},
                                           ReferenceCase{2300, 3500, 2, 2},
                                           ReferenceCase{300, 2000, 3, 1}));

}  // namespace
}  // namespace quorbel::testing
