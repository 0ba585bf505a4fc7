// The whole program end to end, on runs that end normally: the sample's
// boundaries, the regions and the stop rule, the templates' line ends, the
// patch names and the answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/end_to_end_fixture.h"

namespace quorbel::testing {
namespace {

// --- The sample --------------------------------------------------------

TEST_F(EndToEndTest, EmptyInputCopiesTemplateOneAndMakesNoOtherPatch) {
  put("in.raw", "");
  // The last line has no line end; the patch gets one.
  put("1Template.pch", "Name=one\r\nType=91\r\nP1=5\r\nP16=15\r\nEnd=1");
  for (int n = 2; n <= 4; ++n) putTemplate(n, region(2));
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] =
      crlf({"Name=one", "Type=91", "P1=5", "P16=15", "End=1"});
  expectFinished(outcome);
}

TEST_F(EndToEndTest, EachByteIsHalved) {
  put("in.raw", std::string("\x00\x01\x7F\x80\xFE\xFF", 6));
  putTemplate(1, region(6));
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] = crlf({"Type=91", "P1=0", "P2=0", "P3=63", "P4=64",
                                "P5=127", "P6=127", "P16=15"});
  expectFinished(outcome);
}

class SampleLengthTest : public EndToEndTest,
                         public ::testing::WithParamInterface<std::size_t> {};

// Four regions of 512 parameter lines, one more in the last: 2048 values
// fill them all but the very last line, whatever the input's length beyond.
TEST_P(SampleLengthTest, TakesAtMost2048ValuesWithOneNotice) {
  std::string input = sampleBytes(GetParam());
  put("in.raw", input);
  std::string values = halved(input);
  std::size_t next = 0;
  for (int n = 1; n <= 4; ++n) {
    int count = n == 4 ? 513 : 512;
    putTemplate(n, framed("t" + std::to_string(n), region(count)));
    expected[std::to_string(n) + "demo.pch"] = crlf(
        framed("t" + std::to_string(n), regionFilled(count, values, next)));
  }
  RunOutcome outcome = run("in.raw", "demo");
  expectFinished(outcome, input.size() > 2048);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, SampleLengthTest,
                         ::testing::Values(2047, 2048, 2049, 5000));

// --- Regions and the stop rule ----------------------------------------

struct StopCase {
  std::size_t inputLength;
  int patches;
  friend void PrintTo(const StopCase& c, std::ostream* out) {
    *out << c.inputLength << " values";
  }
};

class StopRuleTest : public EndToEndTest,
                     public ::testing::WithParamInterface<StopCase> {};

// Regions of 3, 3, none and 2 parameter lines: the phase ends after the
// patch at whose end the values are used up, and only then.
TEST_P(StopRuleTest, EndsAfterThePatchThatUsesUpTheSample) {
  const int counts[] = {3, 3, 0, 2};
  std::string input = sampleBytes(GetParam().inputLength);
  put("in.raw", input);
  std::string values = halved(input);
  std::size_t next = 0;
  for (int n = 1; n <= 4; ++n) {
    std::string name = "t" + std::to_string(n);
    Lines plain{"Osc=1", "Pan=2"};
    int count = counts[n - 1];
    putTemplate(n, framed(name, count == 0 ? plain : region(count)));
    Lines after = count == 0 ? plain : regionFilled(count, values, next);
    if (n <= GetParam().patches) {
      expected[std::to_string(n) + "demo.pch"] = crlf(framed(name, after));
    }
  }
  RunOutcome outcome = run("in.raw", "demo");
  expectFinished(outcome);
}

INSTANTIATE_TEST_SUITE_P(Lengths, StopRuleTest,
                         ::testing::Values(StopCase{0, 1}, StopCase{2, 1},
                                           StopCase{3, 1}, StopCase{4, 2},
                                           StopCase{6, 2}, StopCase{7, 4},
                                           StopCase{8, 4}, StopCase{9, 4}));

TEST_F(EndToEndTest, EmptyTemplateGivesEmptyPatchAndTheValuesRunOn) {
  put("in.raw", "\x10\x20\x30");
  putTemplate(1, region(1));
  put("2Template.pch", "");
  putTemplate(3, region(3));
  putTemplate(4, region(1));
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] = crlf({"Type=91", "P1=8", "P16=15"});
  expected["2demo.pch"] = "";
  expected["3demo.pch"] =
      crlf({"Type=91", "P1=16", "P2=24", "P3=64", "P16=15"});
  expectFinished(outcome);
}

TEST_F(EndToEndTest, EmptyTemplateAfterTheLastValueEndsThePhase) {
  put("in.raw", "\x10");
  putTemplate(1, region(1));
  put("2Template.pch", "");
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] = crlf({"Type=91", "P1=8", "P16=15"});
  expectFinished(outcome);
}

TEST_F(EndToEndTest, RegionLeftOpenRunsOnIntoTheNextTemplates) {
  put("in.raw", sampleBytes(10));
  std::string v = halved(sampleBytes(10));
  putTemplate(1, {"Type=91", "P1=1", "P2=2"});
  putTemplate(2, {"P3=3", "p4=4", "", "P16=15", "P5=5"});
  putTemplate(3, {"P6=6", "Type=91", "P7=7"});
  putTemplate(4, {"P8=8"});
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] =
      crlf({"Type=91", "P1=" + decimal(v[0]), "P2=" + decimal(v[1])});
  expected["2demo.pch"] =
      crlf({"P3=" + decimal(v[2]), "p4=4", "", "P16=15", "P5=5"});
  expected["3demo.pch"] = crlf({"P6=6", "Type=91", "P7=" + decimal(v[3])});
  expected["4demo.pch"] = crlf({"P8=" + decimal(v[4])});
  expectFinished(outcome);
}

TEST_F(EndToEndTest, MarkersMatchWholeLinesInAnyLetterCase) {
  put("in.raw", "\x02\x04\x06\x08\x0A\x0C");
  putTemplate(1, {"type=91", "P1=0", "p16=15",  // a region in lower case
                  "P2=0",                       // outside
                  "TYPE=91", "P3=0",
                  "P16=15 ",   // a trailing blank: a parameter line
                  "Type=91 ",  // no marker, the region goes on
                  "P4=0",
                  "Type=91",  // a second opener changes nothing
                  "P5=0", "P16=15", "P6=0",
                  "P16=15"});  // a closer outside changes nothing
  putTemplate(2, region(0));
  putTemplate(3, region(0));
  putTemplate(4, region(0));
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] =
      crlf({"type=91", "P1=1", "p16=15", "P2=0", "TYPE=91", "P3=2", "P16=3",
            "Type=91 ", "P4=4", "Type=91", "P5=5", "P16=15", "P6=0", "P16=15"});
  for (int n = 2; n <= 4; ++n) {
    expected[std::to_string(n) + "demo.pch"] = crlf(region(0));
  }
  expectFinished(outcome);
}

TEST_F(EndToEndTest, ParameterLinesKeepTheirNameAndTakeTheValue) {
  std::string x999(999, 'x');
  std::string tail(201, 'y');
  putTemplate(1, {"Type=91", "P1=64", "P5=", "P2=3=4", "P", "PX 12",
                  "P7=" + x999, "P8=" + x999 + tail, "p9=1", "Q1=2", "P16=15"});
  put("in.raw", "\x4A\x02\x04\x06\x08\x0A\x0C");
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] =
      crlf({"Type=91", "P1=37", "P5=1", "P2=2", "3", "4", "P7=5",
            "P8=" + tail + "6", "p9=1", "Q1=2", "P16=15"});
  expectFinished(outcome);
}

// --- Template line ends --------------------------------------------------

struct LineEndCase {
  const char* name;
  std::string templateBytes;
  std::string patchBytes;
  bool usesTheValue;
  friend void PrintTo(const LineEndCase& c, std::ostream* out) {
    *out << c.name;
  }
};

class TemplateLineEndTest : public EndToEndTest,
                            public ::testing::WithParamInterface<LineEndCase> {
};

// One value (21) to give. Empty templates 2 to 4 show whether it was used:
// when it was not, they are copied too.
TEST_P(TemplateLineEndTest, ReadsLinesByTheCarriageReturn) {
  put("in.raw", "\x2A");
  put("1Template.pch", GetParam().templateBytes);
  for (int n = 2; n <= 4; ++n) put(std::to_string(n) + "Template.pch", "");
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] = GetParam().patchBytes;
  if (!GetParam().usesTheValue) {
    for (int n = 2; n <= 4; ++n) expected[std::to_string(n) + "demo.pch"] = "";
  }
  expectFinished(outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateLineEndTest,
    ::testing::Values(
        LineEndCase{"BareLineFeedsMakeOneLine", "Type=91\nP1=5\nP16=15\n",
                    "Type=91\nP1=5\nP16=15\n\r\n", false},
        LineEndCase{"LoneCarriageReturns", "Type=91\rP1=5\rP16=15\r",
                    "Type=91\r\nP1=21\r\nP16=15\r\n", true},
        LineEndCase{"MixedEnds", "A\rB\r\nC\nD\r\n\r\nType=91\r\nP1=5",
                    "A\r\nB\r\nC\nD\r\n\r\nType=91\r\nP1=21\r\n", true},
        LineEndCase{"CtrlZEndsTheTemplate",
                    std::string("Type=91\r\nP1=5\r\n\x1AP2=6\r\n"),
                    "Type=91\r\nP1=21\r\n", true},
        LineEndCase{"CtrlZBeforeTheParameterLine",
                    std::string("Type=91\r\n\x1AP1=5\r\n"), "Type=91\r\n",
                    false},
        LineEndCase{"LineEndAcrossTheBufferEdge",
                    std::string(127, 'A') + "\r\nType=91\r\nP1=5\r\n",
                    std::string(127, 'A') + "\r\nType=91\r\nP1=21\r\n", true},
        LineEndCase{
            "LongLine", "Type=91\r\nP1=" + std::string(5000, '9') + "\r\n",
            "Type=91\r\nP1=" + std::string(4001, '9') + "21\r\n", true}),
    [](const ::testing::TestParamInfo<LineEndCase>& info) {
      return std::string(info.param.name);
    });

// --- Patch names -----------------------------------------------------------

struct NameCase {
  const char* name;
  const char* typed;
  const char* patch;
  friend void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }
};

class PatchNameTest : public EndToEndTest,
                      public ::testing::WithParamInterface<NameCase> {};

TEST_P(PatchNameTest, PutsThePatchNumberInFrontOfTheBaseName) {
  put("in.raw", "");
  putTemplate(1, {"Name=x"});
  RunOutcome outcome = run("in.raw", GetParam().typed);
  expected[GetParam().patch] = crlf({"Name=x"});
  expectFinished(outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PatchNameTest,
    ::testing::Values(NameCase{"Plain", "bass", "1bass.pch"},
                      NameCase{"WithExtension", "bass.pch", "1bass.pch"},
                      NameCase{"CaseMatters", "bass.PCH", "1bass.PCH.pch"},
                      NameCase{"ExtensionInside", "a.pchx", "1a.pchx"},
                      NameCase{"Empty", "", "1.pch"},
                      NameCase{"Blanks", " b ", "1 b .pch"}),
    [](const ::testing::TestParamInfo<NameCase>& info) {
      return std::string(info.param.name);
    });

// A carriage return ends an answer, alone or with a line feed; where the
// answers are set to end in a line feed, that ends them too. The last answer
// may end with the input instead.
TEST_F(EndToEndTest, AnswersEndAtEachLineEnd) {
  std::vector<std::string> typings = {"in.raw\r\ndemo\r\n", "in.raw\rdemo\r",
                                      "in.raw\r\ndemo"};
  if (settings().answerEnd == "\n") {
    typings.insert(typings.end(), {"in.raw\ndemo\n", "in.raw\ndemo"});
  }
  for (const std::string& typed : typings) {
    SCOPED_TRACE(::testing::PrintToString(typed));
    put("in.raw", "");
    putTemplate(1, {"Name=x"});
    RunOutcome outcome = runTyped(typed);
    expected["1demo.pch"] = crlf({"Name=x"});
    expectFinished(outcome);
    remove("1demo.pch");
  }
}

}  // namespace
}  // namespace quorbel::testing
