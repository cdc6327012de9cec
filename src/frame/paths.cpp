#include "frame/paths.h"

namespace corvane {

bool BuildPath(std::string_view directory, std::string_view name, std::string_view suffix,
               Text* path) {
  path->Clear();
  return path->Append(directory) && path->Append(name) && path->Append(suffix);
}

}  // namespace corvane
