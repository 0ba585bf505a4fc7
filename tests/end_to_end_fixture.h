// The fixture of the end-to-end suites: the built program run as a child
// process in a fresh folder per case, the two answers typed on standard
// input, and every file left in the folder, standard output and the exit
// code compared byte for byte. Also the small builders of templates and
// expected patches that the cases share.
//
// From the environment: QUORBEL_EXE, the program, and QUORBEL_PREVIEW_EXE,
// its preview; QUORBEL_WRAPPER, words put before them (such as an
// emulator), may be empty; QUORBEL_ANSWER_END, the typed answers' line end,
// LF or CRLF.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/reference_rules.h"
#include "tests/run_program.h"

namespace quorbel::testing {

// Path inside the folder -> contents; links and folders by a note.
using Folder = std::map<std::string, std::string>;

struct Settings {
  // The wrapper's words, then the program; and the same for the preview.
  std::vector<std::string> command;
  std::vector<std::string> previewCommand;
  // The program's file name, as the failure report shows it.
  std::string moduleName;
  // "\n" or "\r\n"; empty when the setting is missing or wrong.
  std::string answerEnd;
};

const Settings& settings();

extern const std::string kDialogue;  // title and the two prompts
extern const std::string kNotice;    // the truncation notice
extern const std::string kFinished;

// A failure report with its place masked as ########.
std::string report(const std::string& className, const std::string& message);

// The message of a full disk, or of a file-size limit reached.
std::string diskFull();

// Each input byte halved, at most 2048 of them: the sample as "temp" holds it.
std::string halved(const std::string& input);

// A deterministic input of `size` bytes that covers all byte values.
std::string sampleBytes(std::size_t size, unsigned seed = 7);

// A sample value in decimal, as a patch holds it.
std::string decimal(char value);

// A substitution region of `count` parameter lines "P<i>=64".
Lines region(int count);

// The region after the run: its parameter lines take values from `next`
// on, while they last.
Lines regionFilled(int count, const std::string& values, std::size_t& next);

// Lines of every kind the rules tell apart, markers often enough that
// regions open and close within and across templates. A line that takes a
// value always changes: no old value text is a number.
Lines randomTemplate(std::mt19937& random, int lineCount);

// The lines between a "Name=" line and a "Version=" line.
Lines framed(const std::string& name, Lines middle);

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 public:
  // A file the test puts in the folder; it is expected to stay as it is.
  void put(const std::string& name, const std::string& bytes);
  void putTemplate(int number, const Lines& lines);
  void putFolder(const std::string& name);
  void putSymlink(const std::string& name, const std::string& target);
  void putHardLink(const std::string& name, const std::string& existing);
  void putFifo(const std::string& name);
  // A character device like the null device; false when this process may
  // not make one.
  bool putDevice(const std::string& name);
  void makeReadOnly(const std::string& name);
  // Lets every user write in the folder, for a run as another user.
  void openFolderToAll();
  // Sets runAs so that the programs run as the user nobody, for whom file
  // permissions hold; false when that cannot be done here.
  bool runAsNobody();
  void remove(const std::string& name);

  // Runs the program with the two answers typed in, each ended as set.
  RunOutcome run(const std::string& inputName, const std::string& patchName);
  // Runs the program with exactly these bytes on standard input.
  RunOutcome runTyped(const std::string& typed);
  // Runs the preview with these arguments, as runAs says; its output's
  // line ends are made LF.
  RunOutcome runPreview(const std::vector<std::string>& arguments);

  // The outcome and every file of the folder against `expected`.
  void expectRun(const RunOutcome& outcome, const std::string& output,
                 int exitCode);
  void expectFinished(const RunOutcome& outcome, bool truncated = false);

  // Every file of the folder, as `expected` describes them.
  Folder contents() const;

  // A file's path in the folder.
  std::filesystem::path path(const std::string& name) const {
    return folder_ / name;
  }

  // What the folder must hold after the run.
  Folder expected;
  // Words put before the command, such as a change of user.
  std::vector<std::string> runAs;
  // Limits, an output path or a reader that goes away, for the runs; its
  // command, folder and standard input are filled in by each run.
  RunRequest options;

 private:
  std::filesystem::path folder_;
};

}  // namespace quorbel::testing
