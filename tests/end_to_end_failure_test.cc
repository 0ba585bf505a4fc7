// The whole program end to end, on runs that fail or refuse: the report,
// the exit code, and what is left in the folder, the protected files above
// all byte for byte as they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/end_to_end_fixture.h"

namespace quorbel::testing {
namespace {

std::string fileNotFound() { return report("EInOutError", "File not found"); }

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

// A file-size limit stands in for a full disk.
TEST_F(EndToEndTest, FullDiskWhileWritingTempLeavesWhatWasWritten) {
  if (settings().command.size() > 1) {
    GTEST_SKIP() << "the limit would also bind the wrapper's own files";
  }
  std::string input = sampleBytes(2000);
  put("in.raw", input);
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  options.fileSizeLimit = 1000;
  RunOutcome outcome = run("in.raw", "demo");
  expected["temp"] = halved(input).substr(0, 1000);
  expectRun(outcome, kDialogue + report("EInOutError", diskFull()), 1);
}

// The input is opened for reading and writing, so a file its user may only
// read is refused; "temp" is not made.
TEST_F(EndToEndTest, InputTheUserMayNotWriteIsDenied) {
  if (!runAsNobody()) GTEST_SKIP() << "cannot run the program as nobody";
  put("in.raw", "\x10");
  makeReadOnly("in.raw");
  putTemplate(1, region(1));
  openFolderToAll();
  RunOutcome outcome = run("in.raw", "demo");
  expectRun(outcome, kDialogue + report("EInOutError", "File access denied"),
            1);
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
  expectRun(outcome,
            kDialogue + report("Exception",
                               "The scratch file \"temp\" would overwrite the "
                               "input file \"" +
                                   std::string(GetParam().inputName) +
                                   "\"; rename or copy the input file first"),
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

// A "temp" left behind as a link to a template: creating "temp" would empty
// the template.
TEST_F(EndToEndTest, RefusesAScratchFileThatReachesATemplate) {
  put("in.raw", "\x10\x20");
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  for (const char* kind : {"symlink", "hard"}) {
    SCOPED_TRACE(kind);
    if (kind == std::string("symlink")) {
      putSymlink("temp", "3Template.pch");
    } else {
      putHardLink("temp", "3Template.pch");
    }
    RunOutcome outcome = run("in.raw", "demo");
    expectRun(outcome,
              kDialogue + report("Exception",
                                 "The scratch file \"temp\" would overwrite "
                                 "the template \"3Template.pch\"; delete "
                                 "\"temp\" first"),
              1);
    remove("temp");
  }
}

// A "temp" that is a link would be written through: to a file outside the
// folder, or to a stray new file where a dangling link points.
TEST_F(EndToEndTest, RefusesAScratchFileThatIsALink) {
  if (settings().command.size() > 1) {
    GTEST_SKIP() << "Wine shows a symbolic link as the file it reaches";
  }
  put("in.raw", "\x10\x20");
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  putFolder("elsewhere");
  put("elsewhere/notes.txt", "precious");
  for (const char* target : {"elsewhere/notes.txt", "elsewhere/absent"}) {
    SCOPED_TRACE(target);
    putSymlink("temp", target);
    RunOutcome outcome = run("in.raw", "demo");
    expectRun(outcome,
              kDialogue + report("Exception",
                                 "The scratch file \"temp\" is a link to "
                                 "another file; delete \"temp\" first"),
              1);
    remove("temp");
  }
}

// "temp" does not exist before the run, so a template that links to it is
// only found out when the template is about to be read.
TEST_F(EndToEndTest, RefusesATemplateThatLinksToTheScratchFile) {
  put("in.raw", std::string(4, '\x10'));
  putTemplate(1, region(1));
  putSymlink("2Template.pch", "temp");
  RunOutcome outcome = run("in.raw", "demo");
  std::size_t next = 0;
  expected["1demo.pch"] = crlf(regionFilled(1, halved("\x10"), next));
  expected["temp"] = std::string(4, '\x08');
  expectRun(outcome,
            kDialogue + report("Exception",
                               "The scratch file \"temp\" would overwrite "
                               "the template \"2Template.pch\"; delete "
                               "\"temp\" first"),
            1);
}

// A name of 259 characters reaches its file. A longer one fails as the OS
// fails a name too long, rather than reach the file that its first 259
// characters name.
TEST_F(EndToEndTest, NamesReachTheirFileUpTo259Characters) {
  const std::string folder(200, 'd');
  auto name = [&folder](std::size_t length) {
    return folder + "/" + std::string(length - folder.size() - 1, 'x');
  };
  putFolder(folder);
  put(name(259), "\x10");
  put(name(260), "\x20");
  put(name(300), "\x30");
  for (int n = 1; n <= 4; ++n) putTemplate(n, region(1));
  expected["1demo.pch"] = crlf({"Type=91", "P1=8", "P16=15"});
  expectFinished(run(name(259), "demo"));
  remove("1demo.pch");
  const std::string tooLong = report("EInOutError", "I/O error 206");
  for (std::size_t length : {260u, 300u}) {
    SCOPED_TRACE(length);
    expectRun(run(name(length), "demo"), kDialogue + tooLong, 1);
  }
  put("in.raw", "\x10");
  RunOutcome outcome = run("in.raw", std::string(300, 'p'));
  expected["temp"] = "\x08";
  expectRun(outcome, kDialogue + tooLong, 1);
}

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
