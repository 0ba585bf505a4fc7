// The run's small rules on their own: the patch base name, the marker
// comparison, and the value step of a parameter line.
#include <gtest/gtest.h>

#include <string>

#include "app/run_driver.h"
#include "app/template_rules.h"

namespace quorbel {
namespace {

TEST(PatchBaseNameTest, AddsTheExtensionUnlessTheNameHoldsIt) {
  const struct {
    const char* typed;
    const char* base;
  } cases[] = {
      {"bass", "bass.pch"},         {"bass.pch", "bass.pch"},
      {"bass.PCH", "bass.PCH.pch"}, {"a.pchx", "a.pchx"},
      {"x.pch/bass", "x.pch/bass"}, {"", ".pch"},
      {"out/bass", "out/bass.pch"}, {" b ", " b .pch"},
      {"bass.pc", "bass.pc.pch"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(patchBaseName(c.typed), c.base) << "typed '" << c.typed << "'";
  }
}

TEST(EqualsMarkerTest, ComparesWholeLinesFoldingAsciiLettersOnly) {
  const struct {
    std::string line;
    bool equal;
  } cases[] = {
      {"Type=91", true},
      {"TYPE=91", true},
      {"type=91", true},
      {"tYpE=91", true},
      {"Type=91 ", false},
      {" Type=91", false},
      {"Type=9", false},
      {"Type=911", false},
      {"", false},
      {std::string("Type=91\0", 8), false},
      // 0xD4 is no letter: only a..z and A..Z are folded.
      {"\xD4ype=91", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(equalsMarker(c.line, "Type=91"), c.equal)
        << "line '" << c.line << "'";
  }
  EXPECT_TRUE(equalsMarker("p16=15", "P16=15"));
  EXPECT_FALSE(equalsMarker("P16=15\n", "P16=15"));
}

TEST(SetParameterValueTest, ReplacesWhatFollowsTheFirstEqualsSign) {
  const std::string x999(999, 'x');
  const struct {
    std::string line;
    SampleValue value;
    std::string result;
  } cases[] = {
      {"P1=64", 37, "P1=37"},
      {"P5=", 37, "P5=37"},
      {"P2=3=4", 37, "P2=37"},
      {"P", 37, "37"},
      {"PX 12", 37, "37"},
      {"P1=64", 0, "P1=0"},
      {"P1=64", 127, "P1=127"},
      {"P7=" + x999, 5, "P7=5"},
      {"P8=" + x999 + "tail", 5, "P8=tail5"},
      {"PX " + x999 + "yz", 5, "xxxyz5"},
  };
  for (const auto& c : cases) {
    std::string line = c.line;
    setParameterValue(line, c.value);
    EXPECT_EQ(line, c.result) << "line '" << c.line.substr(0, 20) << "'";
  }
}

}  // namespace
}  // namespace quorbel
