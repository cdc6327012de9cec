// Runs one command and reports its cost, with nothing but the kernel's own
// accounting:
//
//   timed_run <directory> <stdout-file> <program> [arguments...]
//
// The command runs in <directory> with its standard output in <stdout-file>
// (standard error stays). Prints one line: wall time in microseconds, peak
// resident set in KiB (ru_maxrss from wait4) and the exit status.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: timed_run <directory> <stdout-file> <program> [arguments...]\n");
    return 2;
  }
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t child = fork();
  if (child < 0) {
    std::perror("timed_run: fork");
    return 2;
  }
  if (child == 0) {
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(argv[1]) != 0 || out < 0 || dup2(out, 1) < 0) {
      std::perror("timed_run");
      _exit(127);
    }
    close(out);
    execv(argv[3], argv + 3);
    std::perror("timed_run: exec");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("timed_run: wait4");
    return 2;
  }
  timespec end{};
  clock_gettime(CLOCK_MONOTONIC, &end);
  const long long micros =
      (end.tv_sec - start.tv_sec) * 1000000LL + (end.tv_nsec - start.tv_nsec) / 1000;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%lld %ld %d\n", micros, usage.ru_maxrss, code);
  return 0;
}
