// Runs the zorsim command as a user would, for end-to-end tests.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace test {

struct CommandResult {
  int status;       // exit status, or -1 when zorsim did not exit normally
  std::string out;  // standard output and standard error
};

inline CommandResult zorsim(const std::string& args) {
  std::string command = std::string(ZORSIM_BINARY) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, "cannot start " + command};
  std::string out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace test
