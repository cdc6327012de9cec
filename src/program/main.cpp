#include "platform/env.h"
#include "program/program.h"

int main(int argc, char** argv) {
  return corvane::RunProgram(corvane::os::RealEnv(argv[0]), argc - 1, argv + 1);
}
