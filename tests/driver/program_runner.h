// Runs the tiecheck program with exact arguments (empty ones and odd bytes
// included), a given standard input and working folder, and collects its
// exit code, standard output and standard error.
#ifndef TIECHECK_TESTS_DRIVER_PROGRAM_RUNNER_H
#define TIECHECK_TESTS_DRIVER_PROGRAM_RUNNER_H

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/lastestfiles.h"

struct ProgramResult {
  int exit_code = -1;  // 128 + signal when the program was killed
  std::string out;
  std::string err;
};

// A program that runs longer than timeout_seconds is killed by its alarm.
inline ProgramResult run_program(const std::vector<std::string>& args, const std::string& input = "",
                                 const std::string& cwd = "", unsigned timeout_seconds = 120) {
  lastest::TempDir io;
  const std::string in_path = io.write("stdin", input);
  const std::string out_path = io.file("stdout");
  const std::string err_path = io.file("stderr");
  std::vector<std::string> storage = args;
  storage.insert(storage.begin(), TIECHECK_BINARY);
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  ProgramResult result;
  const pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    const int in = open(in_path.c_str(), O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    alarm(timeout_seconds);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = lastest::read_file(out_path);
  result.err = lastest::read_file(err_path);
  return result;
}

// The text without every line that begins with prefix.
inline std::string without_lines(const std::string& text, const std::string& prefix) {
  std::string kept;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    if (text.compare(start, prefix.size(), prefix) != 0) kept.append(text, start, end - start);
    start = end;
  }
  return kept;
}

#endif
