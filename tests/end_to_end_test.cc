// The built program run as a child process, one fresh folder per case: the
// two answers go in on standard input; every file left in the folder,
// standard output and the exit code are compared byte for byte.
//
// From the environment: QUORBEL_EXE, the program; QUORBEL_WRAPPER, words put
// before it (such as an emulator), may be empty; QUORBEL_ANSWER_END, the
// typed answers' line end, LF or CRLF.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/run_program.h"

namespace quorbel::testing {
namespace {

namespace fs = std::filesystem;

// Path inside the folder -> contents; links and folders by a note.
using Folder = std::map<std::string, std::string>;
using Lines = std::vector<std::string>;

struct Settings {
  std::vector<std::string> command;
  std::string moduleName;
  std::string answerEnd;
};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

const Settings& settings() {
  static const Settings loaded = [] {
    Settings result;
    std::istringstream wrapper(environment("QUORBEL_WRAPPER"));
    for (std::string word; wrapper >> word;) result.command.push_back(word);
    std::string program = environment("QUORBEL_EXE");
    result.command.push_back(program);
    result.moduleName = fs::path(program).filename().string();
    std::string end = environment("QUORBEL_ANSWER_END");
    result.answerEnd = end == "CRLF" ? "\r\n" : end == "LF" ? "\n" : "";
    return result;
  }();
  return loaded;
}

// Each line followed by CR LF, as the program writes every line.
std::string crlf(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

const std::string kDialogue = crlf(
    {"Quorbel", "Enter input filename:", "Enter a name for your new patch:"});
const std::string kNotice =
    crlf({"Input file length greater than 2048 bytes... Truncating."});
const std::string kFinished = crlf({"Finished!"});

// The place in a report depends on the build: it reads as ######## here.
std::string maskPlace(const std::string& output) {
  static const std::regex place("( at )[0-9A-F]{8}(\\.\n)");
  return std::regex_replace(output, place, "$1########$2");
}

std::string report(const std::string& className, const std::string& message) {
  return "Exception " + className + " in module " + settings().moduleName +
         " at ########.\n" + message + ".\r\n";
}

std::string fileNotFound() { return report("EInOutError", "File not found"); }

// Each input byte halved, at most 2048 of them: the sample as "temp" holds it.
std::string halved(const std::string& input) {
  std::string values;
  for (unsigned char byte : input.substr(0, 2048)) values += char(byte >> 1);
  return values;
}

// A deterministic input of `size` bytes that covers all byte values.
std::string sampleBytes(std::size_t size, unsigned seed = 7) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += char(i * 37 + seed);
  return bytes;
}

std::string decimal(char value) {
  return std::to_string(static_cast<unsigned char>(value));
}

// A substitution region of `count` parameter lines "P<i>=64".
Lines region(int count) {
  Lines lines{"Type=91"};
  for (int i = 1; i <= count; ++i)
    lines.push_back("P" + std::to_string(i) + "=64");
  lines.push_back("P16=15");
  return lines;
}

// The region after the run: its parameter lines take values from `next`
// on, while they last.
Lines regionFilled(int count, const std::string& values, std::size_t& next) {
  Lines lines = region(count);
  for (int i = 1; i <= count && next < values.size(); ++i) {
    lines[i] = "P" + std::to_string(i) + "=" + decimal(values[next++]);
  }
  return lines;
}

Lines framed(const std::string& name, Lines middle) {
  middle.insert(middle.begin(), "Name=" + name);
  middle.push_back("Version=3");
  return middle;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(settings().command.back().empty()) << "QUORBEL_EXE is unset";
    ASSERT_FALSE(settings().answerEnd.empty())
        << "QUORBEL_ANSWER_END must be LF or CRLF";
    std::string pattern =
        (fs::temp_directory_path() / "quorbel-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

 public:
  // A file the test puts in the folder; it is expected to stay as it is.
  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
    expected[name] = bytes;
  }
  void putTemplate(int number, const Lines& lines) {
    put(std::to_string(number) + "Template.pch", crlf(lines));
  }
  void putFolder(const std::string& name) {
    fs::create_directory(folder_ / name);
    expected[name] = "<folder>";
  }
  void putSymlink(const std::string& name, const std::string& target) {
    fs::create_symlink(target, folder_ / name);
    expected[name] = "<link to " + target + ">";
  }
  void putHardLink(const std::string& name, const std::string& existing) {
    fs::create_hard_link(folder_ / existing, folder_ / name);
    expected[name] = expected[existing];
  }

  // Runs the program with the two answers typed in.
  RunOutcome run(const std::string& inputName, const std::string& patchName) {
    RunRequest request;
    request.command = settings().command;
    request.workingDirectory = folder_.string();
    request.standardInput =
        inputName + settings().answerEnd + patchName + settings().answerEnd;
    RunOutcome outcome = runCommand(request);
    outcome.standardOutput = maskPlace(outcome.standardOutput);
    return outcome;
  }

  Folder contents() const {
    Folder found;
    for (const fs::directory_entry& entry :
         fs::recursive_directory_iterator(folder_)) {
      std::string name =
          entry.path().lexically_relative(folder_).generic_string();
      if (entry.is_symlink()) {
        found[name] = "<link to " + fs::read_symlink(entry).string() + ">";
      } else if (entry.is_directory()) {
        found[name] = "<folder>";
      } else {
        std::ifstream file(entry.path(), std::ios::binary);
        found[name].assign(std::istreambuf_iterator<char>(file), {});
      }
    }
    return found;
  }

  // The outcome and every file of the folder against `expected`.
  void expectRun(const RunOutcome& outcome, const std::string& output,
                 int exitCode) {
    EXPECT_EQ(describe(outcome), "exit code " + std::to_string(exitCode))
        << outcome.standardError;
    EXPECT_EQ(outcome.standardOutput, output);
    Folder found = contents();
    for (const auto& [name, bytes] : expected) {
      SCOPED_TRACE(name);
      auto file = found.find(name);
      if (file == found.end()) {
        ADD_FAILURE() << "missing";
      } else {
        EXPECT_EQ(file->second, bytes);
      }
    }
    for (const auto& [name, bytes] : found) {
      EXPECT_TRUE(expected.count(name)) << "stray file " << name;
    }
  }

  void expectFinished(const RunOutcome& outcome, bool truncated = false) {
    expectRun(outcome, kDialogue + (truncated ? kNotice : "") + kFinished, 0);
  }

  // What the folder must hold after the run.
  Folder expected;

 private:
  fs::path folder_;
};

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

// --- An independent reading of the rules -------------------------------

bool sameLetters(const std::string& line, const std::string& marker) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
  if (line.size() != marker.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (lower(line[i]) != lower(marker[i])) return false;
  }
  return true;
}

// The patches that the rules make of these templates (lines ended by CR LF)
// and values: one region flag for all templates; a line starting with P
// inside a region takes the next value in place of what follows its first
// "=" (999 characters at most); no patch after the one during which the
// last value went, or after the first one when there are none.
std::vector<Lines> referencePatches(const std::vector<Lines>& templates,
                                    const std::string& values) {
  std::vector<Lines> patches;
  bool inRegion = false;
  std::size_t next = 0;
  for (const Lines& source : templates) {
    Lines patch;
    for (std::string line : source) {
      if (sameLetters(line, "Type=91")) inRegion = true;
      if (sameLetters(line, "P16=15")) inRegion = false;
      if (inRegion && !line.empty() && line[0] == 'P' && next < values.size()) {
        std::size_t equals = line.find('=');
        std::size_t keep = equals == std::string::npos ? 0 : equals + 1;
        std::string rest = line.substr(keep);
        line = line.substr(0, keep) +
               (rest.size() > 999 ? rest.substr(999) : "") +
               decimal(values[next++]);
      }
      patch.push_back(line);
    }
    patches.push_back(patch);
    if (next == values.size()) break;
  }
  return patches;
}

// Lines of every kind the rules tell apart, markers often enough that
// regions open and close within and across templates.
Lines randomTemplate(std::mt19937& random, int lineCount) {
  const char* markers[] = {"Type=91", "TYPE=91", "type=91", "Type=91 ",
                           "P16=15",  "p16=15",  "P16=15 ", "P16=15"};
  auto number = [&random] { return std::to_string(random() % 1000); };
  Lines lines;
  for (int i = 0; i < lineCount; ++i) {
    switch (random() % 12) {
      case 0:
        lines.push_back(markers[random() % 8]);
        break;
      case 1:
        lines.push_back("");
        break;
      case 2:
        lines.push_back("p" + number() + "=" + number());
        break;
      case 3:
        lines.push_back("Name=" + number());
        break;
      case 4:
        lines.push_back(random() % 2 ? "P" : "PX " + number());
        break;
      case 5:
        lines.push_back("P3=" + number() + "=" +
                        std::string(900 + random() % 300, 'z'));
        break;
      default:
        lines.push_back("P" + number() + "=" + number());
        break;
    }
  }
  return lines;
}

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

// --- Failures ----------------------------------------------------------------

TEST_F(EndToEndTest, MissingInputFailsBeforeTempExists) {
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  RunOutcome outcome = run("absent.raw", "demo");
  expectRun(outcome, kDialogue + fileNotFound(), 1);
}

TEST_F(EndToEndTest, MissingTemplateTwoLeavesPatchOneAndTemp) {
  put("temp", "an old and longer scratch file");
  put("in.raw", "\x10\x20\x30\x40");
  putTemplate(1, {"Name=no region"});
  putTemplate(3, region(4));
  putTemplate(4, region(4));
  RunOutcome outcome = run("in.raw", "demo");
  expected["1demo.pch"] = crlf({"Name=no region"});
  expected["2demo.pch"] = "";
  expected["temp"] = "\x08\x10\x18\x20";
  expectRun(outcome, kDialogue + fileNotFound(), 1);
}

struct InputRefusalCase {
  const char* name;
  const char* inputName;
  const char* linkKind;  // "", "symlink" or "hard"
  friend void PrintTo(const InputRefusalCase& c, std::ostream* out) {
    *out << c.name;
  }
};

class InputRefusalTest
    : public EndToEndTest,
      public ::testing::WithParamInterface<InputRefusalCase> {};

TEST_P(InputRefusalTest, RefusesAnInputThatIsTheScratchFile) {
  put("temp", sampleBytes(300));
  if (GetParam().linkKind == std::string("symlink")) {
    putSymlink(GetParam().inputName, "temp");
  } else if (GetParam().linkKind == std::string("hard")) {
    putHardLink(GetParam().inputName, "temp");
  }
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  RunOutcome outcome = run(GetParam().inputName, "demo");
  expectRun(
      outcome,
      kDialogue + report("Exception",
                         "Input file \"" + std::string(GetParam().inputName) +
                             "\" is the scratch file \"temp\" that the "
                             "run overwrites; rename or copy it first"),
      1);
}

INSTANTIATE_TEST_SUITE_P(
    Names, InputRefusalTest,
    ::testing::Values(InputRefusalCase{"Plain", "temp", ""},
                      InputRefusalCase{"ThroughThisFolder", "./temp", ""},
                      InputRefusalCase{"SymbolicLink", "link", "symlink"},
                      InputRefusalCase{"HardLink", "hard", "hard"}),
    [](const ::testing::TestParamInfo<InputRefusalCase>& info) {
      return std::string(info.param.name);
    });

struct PatchRefusalCase {
  const char* name;
  const char* typed;
  // Prepares the folder beyond the templates and the input "in.raw".
  void (*prepare)(EndToEndTest& test);
  int patchesBefore;  // patches written before the refused one
  const char* message;
  friend void PrintTo(const PatchRefusalCase& c, std::ostream* out) {
    *out << c.name;
  }
};

class PatchRefusalTest
    : public EndToEndTest,
      public ::testing::WithParamInterface<PatchRefusalCase> {};

// Template 1 takes no value, so every patch is attempted.
TEST_P(PatchRefusalTest, RefusesAPatchThatReachesAFileTheRunNeeds) {
  for (int n = 1; n <= 4; ++n) putTemplate(n, {"Name=t" + std::to_string(n)});
  if (!expected.count("in.raw")) put("in.raw", "\x10\x20");
  GetParam().prepare(*this);
  RunOutcome outcome = run("in.raw", GetParam().typed);
  for (int n = 1; n <= GetParam().patchesBefore; ++n) {
    expected[std::to_string(n) + "demo.pch"] =
        crlf({"Name=t" + std::to_string(n)});
  }
  expected["temp"] = "\x08\x10";
  expectRun(outcome, kDialogue + report("Exception", GetParam().message), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PatchRefusalTest,
    ::testing::Values(
        PatchRefusalCase{
            "Template", "Template", [](EndToEndTest&) {}, 0,
            "Patch file \"1Template.pch\" would overwrite the template "
            "\"1Template.pch\"; choose another patch name"},
        PatchRefusalCase{
            "TemplatePch", "Template.pch", [](EndToEndTest&) {}, 0,
            "Patch file \"1Template.pch\" would overwrite the template "
            "\"1Template.pch\"; choose another patch name"},
        PatchRefusalCase{
            "LaterTemplateThroughAFolder", "/../2Template.pch",
            [](EndToEndTest& t) { t.putFolder("1"); }, 0,
            "Patch file \"1/../2Template.pch\" would overwrite the template "
            "\"2Template.pch\"; choose another patch name"},
        PatchRefusalCase{
            "TemplateBySymbolicLink", "demo",
            [](EndToEndTest& t) { t.putSymlink("2demo.pch", "3Template.pch"); },
            1,
            "Patch file \"2demo.pch\" would overwrite the template "
            "\"3Template.pch\"; choose another patch name"},
        PatchRefusalCase{
            "TemplateByHardLink", "demo",
            [](EndToEndTest& t) {
              t.putHardLink("3demo.pch", "4Template.pch");
            },
            2,
            "Patch file \"3demo.pch\" would overwrite the template "
            "\"4Template.pch\"; choose another patch name"},
        PatchRefusalCase{
            "ScratchFile", "demo",
            [](EndToEndTest& t) { t.putSymlink("1demo.pch", "temp"); }, 0,
            "Patch file \"1demo.pch\" would overwrite the scratch file "
            "\"temp\"; choose another patch name"},
        PatchRefusalCase{
            "InputFile", "demo",
            [](EndToEndTest& t) { t.putHardLink("2demo.pch", "in.raw"); }, 1,
            "Patch file \"2demo.pch\" would overwrite the input file "
            "\"in.raw\"; choose another patch name"}),
    [](const ::testing::TestParamInfo<PatchRefusalCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
}  // namespace quorbel::testing
