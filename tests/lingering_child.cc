// A Windows program that leaves a process of its own running, holding the
// standard output and error it was given, as a Wine helper that a program
// wakes does; then it writes "ended" and exits with code 3. The process it
// leaves is the same program, told to wait the given number of seconds.
//   lingering_child SECONDS
// Where no child process can start (32-bit Wine emulated on a kernel that
// runs no 32-bit code starts no further 32-bit program), it says why on
// standard error and exits with kNoChild, which its test takes as a skip.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kNoChild = 77;

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--wait") == 0) {
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: lingering_child SECONDS\n");
    return 2;
  }

  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length == sizeof self) {
    std::fprintf(stderr, "own file name not found (error %lu)\n",
                 GetLastError());
    return 2;
  }
  std::string commandLine = std::string("\"") + self + "\" --wait " + argv[1];

  // The child gets this program's own standard handles, made inheritable.
  HANDLE process = GetCurrentProcess();
  HANDLE handles[3] = {GetStdHandle(STD_INPUT_HANDLE),
                       GetStdHandle(STD_OUTPUT_HANDLE),
                       GetStdHandle(STD_ERROR_HANDLE)};
  for (HANDLE& handle : handles) {
    if (!DuplicateHandle(process, handle, process, &handle, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
      handle = INVALID_HANDLE_VALUE;
    }
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = handles[0];
  startup.hStdOutput = handles[1];
  startup.hStdError = handles[2];
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                      nullptr, nullptr, &startup, &child)) {
    std::fprintf(stderr, "no child process starts here (error %lu)\n",
                 GetLastError());
    return kNoChild;
  }
  std::fputs("ended\n", stdout);
  return 3;
}
