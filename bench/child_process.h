// A program of the host that a benchmark starts beside the device (gpsd,
// gpspipe), found on PATH, ended and waited for when this goes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace velmora::bench {

class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Stop(); }

  // Starts the program with its standard input and error on /dev/null and
  // its standard output on out (/dev/null when out is -1); false when it
  // could not be started.
  bool Start(std::vector<std::string> arguments, int out = -1) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0) {
      posix_spawn_file_actions_adddup2(&actions, out, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int failed = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
      pid_ = 0;
    }
    return failed == 0;
  }

  // Ends the program and waits for it.
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = 0;
    }
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = 0;
};

}  // namespace velmora::bench
