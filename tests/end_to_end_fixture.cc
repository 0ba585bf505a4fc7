#include "tests/end_to_end_fixture.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "fileio/os.h"

namespace quorbel::testing {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? "" : value;
}

// The place in a report depends on the build: it reads as ######## here.
std::string maskPlace(const std::string& output) {
  static const std::regex place("( at )[0-9A-F]{8}(\\.\n)");
  return std::regex_replace(output, place, "$1########$2");
}

}  // namespace

const Settings& settings() {
  static const Settings loaded = [] {
    Settings result;
    std::istringstream wrapper(environment("QUORBEL_WRAPPER"));
    for (std::string word; wrapper >> word;) result.command.push_back(word);
    result.previewCommand = result.command;
    result.previewCommand.push_back(environment("QUORBEL_PREVIEW_EXE"));
    std::string program = environment("QUORBEL_EXE");
    result.command.push_back(program);
    result.moduleName = fs::path(program).filename().string();
    std::string end = environment("QUORBEL_ANSWER_END");
    result.answerEnd = end == "CRLF" ? "\r\n" : end == "LF" ? "\n" : "";
    return result;
  }();
  return loaded;
}

const std::string kDialogue = crlf(
    {"Quorbel", "Enter input filename:", "Enter a name for your new patch:"});
const std::string kNotice =
    crlf({"Input file length greater than 2048 bytes... Truncating."});
const std::string kFinished = crlf({"Finished!"});

std::string report(const std::string& className, const std::string& message) {
  return "Exception " + className + " in module " + settings().moduleName +
         " at ########.\n" + message + ".\r\n";
}

std::string diskFull() { return "I/O error " + std::to_string(kDiskFull); }

std::string halved(const std::string& input) {
  std::string values;
  for (unsigned char byte : input.substr(0, 2048)) values += char(byte >> 1);
  return values;
}

std::string sampleBytes(std::size_t size, unsigned seed) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += char(i * 37 + seed);
  return bytes;
}

std::string decimal(char value) {
  return std::to_string(static_cast<unsigned char>(value));
}

Lines region(int count) {
  Lines lines{"Type=91"};
  for (int i = 1; i <= count; ++i) {
    lines.push_back("P" + std::to_string(i) + "=64");
  }
  lines.push_back("P16=15");
  return lines;
}

Lines regionFilled(int count, const std::string& values, std::size_t& next) {
  Lines lines = region(count);
  for (int i = 1; i <= count && next < values.size(); ++i) {
    lines[i] = "P" + std::to_string(i) + "=" + decimal(values[next++]);
  }
  return lines;
}

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
        lines.push_back("p" + number() + "=v" + number());
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
        lines.push_back("P" + number() + "=v" + number());
        break;
    }
  }
  return lines;
}

Lines framed(const std::string& name, Lines middle) {
  middle.insert(middle.begin(), "Name=" + name);
  middle.push_back("Version=3");
  return middle;
}

void EndToEndTest::SetUp() {
  ASSERT_FALSE(settings().command.back().empty()) << "QUORBEL_EXE is unset";
  ASSERT_FALSE(settings().answerEnd.empty())
      << "QUORBEL_ANSWER_END must be LF or CRLF";
  std::string pattern =
      (fs::temp_directory_path() / "quorbel-e2e-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  folder_ = pattern;
}

void EndToEndTest::TearDown() {
  if (!folder_.empty()) fs::remove_all(folder_);
}

void EndToEndTest::put(const std::string& name, const std::string& bytes) {
  std::ofstream(folder_ / name, std::ios::binary) << bytes;
  expected[name] = bytes;
}

void EndToEndTest::putTemplate(int number, const Lines& lines) {
  put(std::to_string(number) + "Template.pch", crlf(lines));
}

void EndToEndTest::putFolder(const std::string& name) {
  fs::create_directory(folder_ / name);
  expected[name] = "<folder>";
}

void EndToEndTest::putSymlink(const std::string& name,
                              const std::string& target) {
  fs::create_symlink(target, folder_ / name);
  expected[name] = "<link to " + target + ">";
}

void EndToEndTest::putHardLink(const std::string& name,
                               const std::string& existing) {
  fs::create_hard_link(folder_ / existing, folder_ / name);
  expected[name] = expected[existing];
}

void EndToEndTest::putFifo(const std::string& name) {
  ASSERT_EQ(::mkfifo((folder_ / name).c_str(), 0666), 0) << name;
  expected[name] = "<fifo>";
}

bool EndToEndTest::putDevice(const std::string& name) {
  if (::mknod((folder_ / name).c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
    return false;
  }
  expected[name] = "<device>";
  return true;
}

void EndToEndTest::makeReadOnly(const std::string& name) {
  fs::permissions(folder_ / name, fs::perms::owner_read |
                                      fs::perms::group_read |
                                      fs::perms::others_read);
}

void EndToEndTest::openFolderToAll() {
  fs::permissions(folder_, fs::perms::all, fs::perm_options::add);
}

bool EndToEndTest::runAsNobody() {
  // Another user cannot share the wrapper's set-up.
  if (settings().command.size() > 1) return false;
  runAs = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  RunRequest probe;
  probe.command = runAs;
  probe.command.insert(probe.command.end(),
                       {"test", "-x", settings().command.back()});
  return runCommand(probe).exitCode == 0;
}

void EndToEndTest::remove(const std::string& name) {
  fs::remove(folder_ / name);
  expected.erase(name);
}

RunOutcome EndToEndTest::run(const std::string& inputName,
                             const std::string& patchName) {
  return runTyped(inputName + settings().answerEnd + patchName +
                  settings().answerEnd);
}

RunOutcome EndToEndTest::runTyped(const std::string& typed) {
  RunRequest request = options;
  request.command = runAs;
  request.command.insert(request.command.end(), settings().command.begin(),
                         settings().command.end());
  request.workingDirectory = folder_.string();
  request.standardInput = typed;
  RunOutcome outcome = runCommand(request);
  outcome.standardOutput = maskPlace(outcome.standardOutput);
  return outcome;
}

RunOutcome EndToEndTest::runPreview(const std::vector<std::string>& arguments) {
  RunRequest request;
  request.command = runAs;
  request.command.insert(request.command.end(),
                         settings().previewCommand.begin(),
                         settings().previewCommand.end());
  request.command.insert(request.command.end(), arguments.begin(),
                         arguments.end());
  request.workingDirectory = folder_.string();
  RunOutcome outcome = runCommand(request);
  std::erase(outcome.standardOutput, '\r');
  std::erase(outcome.standardError, '\r');
  return outcome;
}

Folder EndToEndTest::contents() const {
  Folder found;
  for (const fs::directory_entry& entry :
       fs::recursive_directory_iterator(folder_)) {
    std::string name =
        entry.path().lexically_relative(folder_).generic_string();
    if (entry.is_symlink()) {
      found[name] = "<link to " + fs::read_symlink(entry).string() + ">";
    } else if (entry.is_directory()) {
      found[name] = "<folder>";
    } else if (entry.is_fifo()) {
      found[name] = "<fifo>";
    } else if (entry.is_character_file() || entry.is_block_file()) {
      found[name] = "<device>";
    } else {
      std::ifstream file(entry.path(), std::ios::binary);
      found[name].assign(std::istreambuf_iterator<char>(file), {});
    }
  }
  return found;
}

void EndToEndTest::expectRun(const RunOutcome& outcome,
                             const std::string& output, int exitCode) {
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

void EndToEndTest::expectFinished(const RunOutcome& outcome, bool truncated) {
  expectRun(outcome, kDialogue + (truncated ? kNotice : "") + kFinished, 0);
}

}  // namespace quorbel::testing
