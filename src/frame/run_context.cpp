#include "frame/run_context.h"

namespace corvane {

RunContext& Run() {
  static RunContext context;
  return context;
}

}  // namespace corvane
