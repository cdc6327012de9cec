#include "platform/platform.h"
#include "program/program.h"

int main(int argc, char** argv) {
  corvane::os::StartUp();
  return corvane::RunProgram(argc - 1, argv + 1);
}
