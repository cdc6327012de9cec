#include "frame/paths.h"

#include "platform/name_rules.h"
#include "platform/platform.h"

namespace corvane {

bool BuildPath(std::string_view directory, std::string_view name, std::string_view suffix,
               Text* path) {
  path->Clear();
  return path->Append(directory) && path->Append(name) && path->Append(suffix);
}

namespace {

// Splits a path after its last "\\" or "/" (the directory keeps it).
void SplitPath(std::string_view path, std::string_view* directory, std::string_view* name) {
  const auto cut = path.find_last_of("\\/");
  *directory = cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
  *name = path.substr(directory->size());
}

}  // namespace

bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32) return false;
    if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?') return false;
  }
  return true;
}

bool SameFilePath(std::string_view a, std::string_view b) {
  if (os::SameEntry(a, b)) return true;
  std::string_view a_directory, a_name, b_directory, b_name;
  SplitPath(a, &a_directory, &a_name);
  SplitPath(b, &b_directory, &b_name);
  return !a_name.empty() && os::EqualIgnoringCase(a_name, b_name) &&
         os::SameEntry(a_directory, b_directory);
}

}  // namespace corvane
