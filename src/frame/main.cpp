#include "frame/program.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  corvane::os::StartUp();
  const int code = corvane::RunProgram(argc - 1, argv + 1);
  corvane::os::Exit(code);
}
