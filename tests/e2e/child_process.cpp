#include "child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace dsnconf::e2e {

std::string readWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

[[noreturn]] void execChild(const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const fs::path& dir,
                            const fs::path& outPath, const fs::path& errPath) {
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int in = open("/dev/null", O_RDONLY);
  if (out < 0 || err < 0 || in < 0 || chdir(dir.c_str()) != 0) _exit(125);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  execvpe(argv[0], argv.data(), envp.data());
  _exit(127);
}

}  // namespace

ChildOutcome runChild(const std::vector<std::string>& args, const std::vector<std::string>& env,
                      const fs::path& dir, const fs::path& scratch) {
  const fs::path outPath = scratch / "child.out";
  const fs::path errPath = scratch / "child.err";
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) execChild(args, env, dir, outPath, errPath);

  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  ChildOutcome outcome;
  outcome.out = readWholeFile(outPath);
  outcome.err = readWholeFile(errPath);
  outcome.exited = WIFEXITED(wstatus);
  outcome.status = outcome.exited ? WEXITSTATUS(wstatus) : WTERMSIG(wstatus);
  return outcome;
}

}  // namespace dsnconf::e2e
