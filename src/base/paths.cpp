#include "base/paths.h"

#include "platform/name_rules.h"

namespace corvane {

bool BuildPath(std::string_view directory, std::string_view name, std::string_view suffix,
               Text* path) {
  path->Clear();
  return path->Append(directory) && path->Append(name) && path->Append(suffix);
}

Text AsDirectory(std::string_view parameter) {
  Text directory(parameter);
  if (!directory.Empty() && directory[directory.Size() - 1] != '\\') directory.Append('\\');
  return directory;
}

bool FitsShortNames(std::string_view parameter, std::string_view directory) {
  return parameter.size() <= Text::Capacity &&
         directory.size() + LongestBuiltName <= Text::Capacity &&
         (directory.empty() || directory.back() == '\\');
}

bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 32) return false;
    if (c == '\\' || c == '/' || c == ':' || c == '*' || c == '?') return false;
  }
  return true;
}

bool SameFilePath(os::FileSystem& fs, std::string_view a, std::string_view b) {
  if (fs.SameEntry(a, b)) return true;
  const std::string_view a_name = os::NamePart(a);
  return !a_name.empty() && os::EqualIgnoringCase(a_name, os::NamePart(b)) &&
         fs.SameEntry(os::DirectoryPart(a), os::DirectoryPart(b));
}

}  // namespace corvane
