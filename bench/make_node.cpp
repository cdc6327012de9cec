// Writes a FidoNet node for the benchmark:
//
//   make_node <directory> <tickets>
//
// <directory>/inbound   tickets TK000001.TIC ... (names in capitals, lines
//                       ending CR LF) beside the files they announce (a few
//                       hundred bytes each, all a hole); the name in a
//                       ticket always differs in letter case from the file
//                       on disk, and every 20th file is missing
// <directory>/badtics   bad-ticket markers for every 50th ticket (half of
//                       them spelt .BAD) and an old copy, in other letter
//                       case, of every 100th announced file
// <directory>/prefix.nef, suffix.nef   the report templates (the footer empty)
//
// The node is the same for the same count on every run. Files are written
// directly, one open/write/close each, so 100,000 tickets take seconds.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kAreas[] = {"NODEDIFF",     "NODELIST",     "FNEWS",       "FIDOSOFT.DOS",
                                  "FIDOSOFT.WIN", "FIDOSOFT.OS2", "FIDOSOFT.LX", "AGNETS",
                                  "PNTLIST",      "SEGMENTS",     "BBSLIST",     "ECHOLIST",
                                  "GAMES",        "UTILS.ARC",    "UTILS.COMM",  "TEXTS",
                                  "PICTURES",     "MUSIC.MOD",    "INFO",        "HAMRADIO"};
constexpr const char* kExtensions[] = {"zip", "rar", "arj", "lzh", "txt"};
constexpr const char* kWords[] = {
    "weekly", "nodelist", "update", "for",     "zone",      "two",      "the",   "new",
    "point",  "list",     "packer", "mailer",  "tosser",    "utility",  "with",  "source",
    "and",    "docs",     "fixed",  "release", "shareware", "freeware", "of",    "network",
    "echo",   "areas",    "files",  "archive", "version",   "beta",     "final", "manual"};

// A small fixed generator: the node must not depend on the C library.
std::uint64_t state = 0x2545F4914F6CDD1DULL;
std::uint32_t Next() {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<std::uint32_t>(state >> 16);
}
std::uint32_t Below(std::uint32_t n) { return Next() % n; }

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "make_node: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

void WriteFile(const std::string& path, const std::string& content) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail(path);
  if (write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
    Fail(path);
  }
  if (close(fd) != 0) Fail(path);
}

// A file of size bytes that holds no data blocks: Corvane never reads an
// announced file, and a node of 100,000 files with blocks of their own takes
// minutes to delete on a disk mounted with discard.
void WriteHole(const std::string& path, std::uint32_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ftruncate(fd, size) != 0 || close(fd) != 0) Fail(path);
}

void MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) Fail(path);
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

// One description line of about length characters, words and spaces.
std::string Sentence(std::size_t length) {
  std::string text;
  while (text.size() < length) {
    if (!text.empty()) text += ' ';
    text += kWords[Below(sizeof kWords / sizeof *kWords)];
  }
  return text;
}

std::string Address() {
  std::string text =
      "2:" + std::to_string(5000 + Below(100)) + "/" + std::to_string(1 + Below(999));
  if (Below(4) == 0) text += "." + std::to_string(1 + Below(20));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_node <directory> <tickets>\n");
    return 2;
  }
  const std::string root = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  if (count < 1 || count > 999999) {
    std::fprintf(stderr, "make_node: 1 to 999999 tickets\n");
    return 2;
  }
  const std::string inbound = root + "/inbound/";
  const std::string bad_tics = root + "/badtics/";
  MakeDirectory(root);
  MakeDirectory(inbound);
  MakeDirectory(bad_tics);
  WriteFile(root + "/prefix.nef", "\r\n New files received @date\r\n");
  WriteFile(root + "/suffix.nef", "");

  long missing = 0;
  long markers = 0;
  long old_copies = 0;
  char name[32];
  std::string content;
  for (long i = 1; i <= count; ++i) {
    // The file name on disk and in the ticket: one of them in capitals, the
    // other in small letters, alternating.
    std::snprintf(name, sizeof name, "f%07ld.%s", i, kExtensions[i % 5]);
    const std::string lower = name;
    const std::string upper = Upper(lower);
    const bool upper_on_disk = i % 2 == 1;
    const std::string on_disk = upper_on_disk ? upper : lower;
    const std::string in_ticket = upper_on_disk ? lower : upper;

    std::string area = kAreas[Below(20)];
    if (Below(3) == 0) area = Lower(area);
    content = "Area " + area + "\r\n";
    const std::uint32_t lines = 1 + Below(3);
    for (std::uint32_t line = 0; line < lines; ++line) {
      content += "Desc " + Sentence(15 + Below(70)) + "\r\n";
    }
    content += "Origin " + Address() + "\r\n";
    if (Below(10) != 0) content += "From " + Address() + "\r\n";
    content += "File " + in_ticket + "\r\n";
    const std::uint32_t size = 200 + Below(600);
    content += "Size " + std::to_string(size) + "\r\n";
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", Next());
    content += std::string("Crc ") + crc + "\r\n";
    content += "Path 2:5020/1042 " + std::to_string(1700000000 + i) + "\r\n";
    content += "Seenby 2:5020/1042\r\nSeenby " + Address() + "\r\nPw SECRET\r\n";
    std::snprintf(name, sizeof name, "TK%06ld.TIC", i);
    WriteFile(inbound + name, content);

    if (i % 20 == 7) {
      ++missing;
    } else {
      WriteHole(inbound + on_disk, size);
    }
    if (i % 50 == 3) {
      std::snprintf(name, sizeof name, (i / 50) % 2 ? "TK%06ld.BAD" : "TK%06ld.bad", i);
      WriteFile(bad_tics + name, "");
      ++markers;
    }
    if (i % 100 == 11) {
      WriteFile(bad_tics + (upper_on_disk ? lower : upper), "an older copy\r\n");
      ++old_copies;
    }
  }
  std::printf("%ld tickets, %ld files missing, %ld markers, %ld old copies in %s\n", count, missing,
              markers, old_copies, root.c_str());
  return 0;
}
