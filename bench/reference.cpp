// The benchmark's yardstick: Corvane's three jobs on a node made by
// make_node, done with only the file operations each job needs, in the order
// Corvane does them. Same command line, same console lines (but for the
// banner), same ticbase.dat, same moves and the same report, so the benchmark
// can check that both did the same work before it compares their costs.
//
//   reference 0 <inbound> <badtics>     per ticket: open, read, close the
//       ticket; one stat of the announced file; open, seek, write, close
//       ticbase.dat; the console line; one delete attempt; two renames
//   reference 1 <badtics> .             per record: one read; the console
//       line in two writes (the first flushed before the marker is looked
//       for); one stat of the marker; seek and write when it is bad
//   reference 2 <mask> <report>         per record: one read; open, one write,
//       close of the area file; seek and write of the record. Then the report:
//       each template and each area file read in large blocks and written on
//       in blocks, each area file deleted after its copy
//
// Letter case: one readdir at the start builds a sorted table of the
// directory's names (one arena, offsets sorted by case-folded name), so a
// name given in other letter case is found without a system call; the stat
// or delete then uses the name on disk. It handles what make_node writes
// (plain 8.3 names, simple addresses, mask "*" or a plain prefix), not every
// odd input Corvane must survive.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kRecordSize = 319;
constexpr std::string_view kSeparator =
    " -----------------------------------------------------------------------------";

[[noreturn]] void Stop(const char* what) {
  std::fprintf(stderr, "reference: %s: %s\n", what, std::strerror(errno));
  std::exit(3);
}

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = Fold(c);
  return result;
}

int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto fa = static_cast<unsigned char>(Fold(a[i]));
    const auto fb = static_cast<unsigned char>(Fold(b[i]));
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

void WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t done = write(fd, data.data(), data.size());
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) Stop("write");
    data.remove_prefix(static_cast<std::size_t>(done));
  }
}

void Say(std::string_view text) { WriteAll(1, text); }

void SayLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  WriteAll(1, line);
}

// The names of one directory, read once: one arena of names and their
// offsets sorted by case-folded name, ties in byte order (the order in which
// Corvane delivers a search). A name found here and deleted later is marked
// gone.
class NameTable {
 public:
  explicit NameTable(const std::string& directory, bool (*wanted)(std::string_view) = nullptr) {
    DIR* stream = opendir(directory.empty() ? "." : directory.c_str());
    if (stream == nullptr) return;
    while (const dirent* entry = readdir(stream)) {
      const std::string_view name(entry->d_name);
      if (name.front() == '.' || (wanted != nullptr && !wanted(name))) continue;
      if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
      offsets_.push_back(static_cast<std::uint32_t>(arena_.size()));
      arena_.insert(arena_.end(), name.begin(), name.end());
      arena_.push_back('\0');
    }
    closedir(stream);
    std::sort(offsets_.begin(), offsets_.end(), [this](std::uint32_t a, std::uint32_t b) {
      const int order = CompareFolded(Name(a), Name(b));
      return order != 0 ? order < 0 : Name(a) < Name(b);
    });
    gone_.assign(offsets_.size(), false);
  }

  std::size_t size() const { return offsets_.size(); }
  std::string_view At(std::size_t index) const { return Name(offsets_[index]); }

  // The index of the first name equal to name ignoring case, or size().
  std::size_t Find(std::string_view name) const {
    const auto it = std::lower_bound(
        offsets_.begin(), offsets_.end(), name,
        [this](std::uint32_t a, std::string_view b) { return CompareFolded(Name(a), b) < 0; });
    std::size_t index = static_cast<std::size_t>(it - offsets_.begin());
    while (index < offsets_.size() && CompareFolded(At(index), name) == 0 && gone_[index]) ++index;
    return index < offsets_.size() && CompareFolded(At(index), name) == 0 ? index : size();
  }
  // The name on disk for name: the table's one, or name itself.
  std::string_view OnDisk(std::string_view name) const {
    const std::size_t index = Find(name);
    return index < size() ? At(index) : name;
  }
  void MarkGone(std::string_view name) {
    const std::size_t index = Find(name);
    if (index < size() && At(index) == name) gone_[index] = true;
  }

 private:
  std::string_view Name(std::uint32_t offset) const { return std::string_view(&arena_[offset]); }

  std::vector<char> arena_;
  std::vector<std::uint32_t> offsets_;
  std::vector<bool> gone_;
};

std::string Join(std::string_view directory, std::string_view name) {
  std::string path(directory);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

// ---- ticbase.dat records ----

struct Address {
  std::int16_t zone = 0, net = 0, node = 0, point = 0;
};

struct Record {
  std::string key, file_name, description, area;
  std::int32_t size = 0;
  Address origin, from;
};

void PutU16(unsigned char* at, std::uint16_t value) {
  at[0] = static_cast<unsigned char>(value & 0xFF);
  at[1] = static_cast<unsigned char>(value >> 8);
}
std::uint16_t GetU16(const unsigned char* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
void PutText(unsigned char* at, std::string_view text, std::size_t capacity) {
  const std::size_t length = std::min(text.size(), capacity);
  at[0] = static_cast<unsigned char>(length);
  std::memcpy(at + 1, text.data(), length);
}
std::string GetText(const unsigned char* at, std::size_t capacity) {
  return std::string(reinterpret_cast<const char*>(at + 1), std::min<std::size_t>(at[0], capacity));
}
void PutAddress(unsigned char* at, const Address& a) {
  PutU16(at, static_cast<std::uint16_t>(a.zone));
  PutU16(at + 2, static_cast<std::uint16_t>(a.net));
  PutU16(at + 4, static_cast<std::uint16_t>(a.node));
  PutU16(at + 6, static_cast<std::uint16_t>(a.point));
}
Address GetAddress(const unsigned char* at) {
  return Address{static_cast<std::int16_t>(GetU16(at)), static_cast<std::int16_t>(GetU16(at + 2)),
                 static_cast<std::int16_t>(GetU16(at + 4)),
                 static_cast<std::int16_t>(GetU16(at + 6))};
}
void SetSize(unsigned char* image, std::int32_t size) {
  const auto bits = static_cast<std::uint32_t>(size);
  PutU16(image + 299, static_cast<std::uint16_t>(bits & 0xFFFF));
  PutU16(image + 301, static_cast<std::uint16_t>(bits >> 16));
}

void Encode(const Record& r, unsigned char* image) {
  std::memset(image, 0, kRecordSize);
  PutText(image, r.key, 8);
  PutText(image + 9, r.file_name, 12);
  PutText(image + 22, r.description, 255);
  PutText(image + 278, r.area, 20);
  SetSize(image, r.size);
  PutAddress(image + 303, r.origin);
  PutAddress(image + 311, r.from);
}

Record Decode(const unsigned char* image) {
  Record r;
  r.key = GetText(image, 8);
  r.file_name = GetText(image + 9, 12);
  r.description = GetText(image + 22, 255);
  r.area = GetText(image + 278, 20);
  r.size = static_cast<std::int32_t>(GetU16(image + 299) |
                                     (static_cast<std::uint32_t>(GetU16(image + 301)) << 16));
  r.origin = GetAddress(image + 303);
  r.from = GetAddress(image + 311);
  return r;
}

// ---- mode 0 ----

// The first word at or after column (from 1), words ending at a blank.
std::string_view WordFrom(std::string_view line, std::size_t column) {
  std::size_t at = column - 1;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  std::size_t end = at;
  while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
  return at < line.size() ? line.substr(at, end - at) : std::string_view();
}

// Zone:Net/Node[.Point], the forms make_node writes.
void ParseAddress(std::string_view text, Address* address) {
  std::int16_t* parts[] = {&address->zone, &address->net, &address->node, &address->point};
  const char ends[] = {':', '/', '.', '@'};
  *parts[3] = 0;
  for (int i = 0; i < 4 && !text.empty(); ++i) {
    std::size_t end = text.find(ends[i]);
    if (i == 3 || end == std::string_view::npos) end = text.size();
    *parts[i] = static_cast<std::int16_t>(
        std::strtol(std::string(text.substr(0, end)).c_str(), nullptr, 10));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

// Splits text into lines as a ticket is read: CR ends a line (a LF after it
// is skipped), Ctrl-Z ends the text, a line keeps its first 255 characters.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine on_line) {
  std::size_t at = 0;
  while (at < text.size() && text[at] != 26) {
    const std::size_t start = at;
    while (at < text.size() && text[at] != '\r' && text[at] != 26) ++at;
    on_line(text.substr(start, std::min<std::size_t>(at - start, 255)));
    if (at < text.size() && text[at] == '\r') {
      ++at;
      if (at < text.size() && text[at] == '\n') ++at;
    }
  }
}

bool IsTicket(std::string_view name) {
  return name.size() > 4 && CompareFolded(name.substr(name.size() - 4), ".TIC") == 0;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name.find_first_of("/\\:*?") == std::string_view::npos &&
         CompareFolded(name, "TICBASE.DAT") != 0;
}

void ReadTicket(const std::string& path, const std::string& inbound, const NameTable& files,
                Record* r) {
  r->size = 0;
  r->origin.zone = 0;
  r->from.zone = 0;
  r->description.clear();
  r->area.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string text;
  char block[4096];
  for (;;) {  // a short read of a plain file is its end
    const ssize_t got = read(fd, block, sizeof block);
    if (got < 0) Stop("read ticket");
    text.append(block, static_cast<std::size_t>(got));
    if (got < static_cast<ssize_t>(sizeof block)) break;
  }
  close(fd);
  ForEachLine(text, [&](std::string_view line) {
    const std::string lower = [&] {
      std::string l(line.substr(0, 7));
      for (char& c : l) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      return l;
    }();
    const std::string_view key(lower);
    if (key.starts_with("area ")) {
      r->area = Upper(WordFrom(line, 6)).substr(0, 20);
    } else if (key.starts_with("desc ")) {
      if (!r->description.empty()) r->description += '\r';
      r->description += line.substr(5);
      if (r->description.size() > 255) r->description.resize(255);
    } else if (key.starts_with("from ")) {
      ParseAddress(WordFrom(line, 6), &r->from);
    } else if (key.starts_with("origin ")) {
      ParseAddress(WordFrom(line, 8), &r->origin);
    } else if (key.starts_with("file")) {
      r->file_name = Upper(WordFrom(line, 6)).substr(0, 12);
      if (!IsPlainName(r->file_name)) {
        r->size = 0;
        return;
      }
      struct stat st {};
      const std::string file = Join(inbound, files.OnDisk(r->file_name));
      if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        r->size = static_cast<std::int32_t>(static_cast<std::uint32_t>(st.st_size));
      }
    }
  });
}

void Append(const Record& r) {
  const int fd = open("ticbase.dat", O_RDWR | O_CLOEXEC);
  if (fd < 0) Stop("open ticbase.dat");
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0) Stop("seek ticbase.dat");
  const off_t whole = end / static_cast<off_t>(kRecordSize) * static_cast<off_t>(kRecordSize);
  if (whole != end && lseek(fd, whole, SEEK_SET) < 0) Stop("seek ticbase.dat");
  unsigned char image[kRecordSize];
  Encode(r, image);
  if (write(fd, image, kRecordSize) != static_cast<ssize_t>(kRecordSize)) Stop("write ticbase.dat");
  if (close(fd) != 0) Stop("close ticbase.dat");
}

bool Move(const std::string& from, const std::string& to) {
  return renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

int ProcessInbound(const std::string& inbound, const std::string& bad_tics) {
  struct stat in {};
  struct stat bad {};
  if (stat(inbound.empty() ? "." : inbound.c_str(), &in) == 0 &&
      stat(bad_tics.empty() ? "." : bad_tics.c_str(), &bad) == 0 && in.st_dev == bad.st_dev &&
      in.st_ino == bad.st_ino) {
    SayLine("Inbound and BadTics are the same directory; nothing done.");
    return 1;
  }
  const int created = open("ticbase.dat", O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (created >= 0) close(created);
  SayLine("Processing incoming TICs...");

  const NameTable entries(inbound);
  NameTable old_copies(bad_tics);
  Record r;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string_view ticket = entries.At(i);
    if (!IsTicket(ticket)) continue;
    r.key = std::string(ticket.substr(0, 8));
    ReadTicket(Join(inbound, ticket), inbound, entries, &r);
    if (r.size == 0) continue;

    Append(r);
    SayLine(r.key + ".TIC: " + r.file_name);
    const std::string old_copy(old_copies.OnDisk(r.file_name));
    if (unlink(Join(bad_tics, old_copy).c_str()) == 0) {
      old_copies.MarkGone(old_copy);
      SayLine("Destination cleared");
    }
    const std::string file(entries.OnDisk(r.file_name));
    if (!Move(Join(inbound, file), Join(bad_tics, r.file_name))) {
      SayLine("Can't move a file");
      continue;
    }
    const std::string rebuilt = r.key + ".tic";
    if (CompareFolded(rebuilt, ticket) == 0 &&
        Move(Join(inbound, ticket), Join(bad_tics, rebuilt))) {
      continue;
    }
    SayLine("Can't move a TIC, returning file back");
    if (!Move(Join(bad_tics, r.file_name), Join(inbound, r.file_name))) {
      SayLine("Can't move a file back");
    }
  }
  SayLine("Done.");
  return 0;
}

// ---- mode 1 ----

bool IsMarker(std::string_view name) {
  return name.size() > 4 && CompareFolded(name.substr(name.size() - 4), ".BAD") == 0;
}

int OpenDatabase(off_t* length) {
  const int fd = open("ticbase.dat", O_RDWR | O_CLOEXEC);
  if (fd < 0) Stop("open ticbase.dat");
  struct stat st {};
  if (fstat(fd, &st) != 0) Stop("stat ticbase.dat");
  *length = st.st_size;
  return fd;
}

void ReadRecord(int fd, unsigned char* image) {
  if (read(fd, image, kRecordSize) != static_cast<ssize_t>(kRecordSize)) Stop("read ticbase.dat");
}

void RewriteRecord(int fd, off_t position, const unsigned char* image) {
  if (lseek(fd, position, SEEK_SET) < 0) Stop("seek ticbase.dat");
  if (write(fd, image, kRecordSize) != static_cast<ssize_t>(kRecordSize)) Stop("write ticbase.dat");
}

int CheckStoredTickets(const std::string& bad_tics) {
  SayLine("Checking stored info...");
  // Only the markers are kept: the directory also holds every moved file
  // and ticket, and the table must not grow with the database.
  const NameTable markers(bad_tics, IsMarker);
  off_t length = 0;
  const int fd = OpenDatabase(&length);
  unsigned char image[kRecordSize];
  for (off_t position = 0; position < length; position += kRecordSize) {
    ReadRecord(fd, image);
    const Record r = Decode(image);
    Say(std::to_string(position / static_cast<off_t>(kRecordSize)) + ". " + r.file_name + " is ");
    const std::string marker = Join(bad_tics, markers.OnDisk(r.key + ".bad"));
    struct stat st {};
    if (stat(marker.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      SetSize(image, 0);
      RewriteRecord(fd, position, image);
      SayLine("bad");
    } else {
      SayLine("ok");
    }
  }
  if (close(fd) != 0) Stop("close ticbase.dat");
  SayLine("Done.");
  return 0;
}

// ---- mode 2 ----

std::uint32_t AreaKey(std::string_view name) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (char c : name) {
    crc ^= static_cast<unsigned char>(c);
    for (int round = 0; round < 8; ++round) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return crc;
}

bool MaskMatch(std::string_view mask, std::string_view name) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < name.size() && j < mask.size()) {
    if (Fold(name[i]) == Fold(mask[j]) || mask[j] == '?') {
      ++i;
      ++j;
    } else if (mask[j] == '*') {
      ++j;
      while (j < mask.size() && i < name.size() && Fold(name[i]) != Fold(mask[j])) ++i;
    } else {
      return false;
    }
  }
  return j >= mask.size();
}

std::string Grouped(std::int64_t value) {
  const std::string digits = std::to_string(value < 0 ? -value : value);
  std::string text = value < 0 ? "-" : "";
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) text += ',';
    text += digits[at];
  }
  return text;
}

std::string PadRight(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string AddressText(const Address& a) {
  std::string text =
      std::to_string(a.zone) + ":" + std::to_string(a.net) + "/" + std::to_string(a.node);
  if (a.point != 0) text += "." + std::to_string(a.point);
  return text;
}

void AddLine(std::string* out, std::string_view line) {
  *out += line;
  *out += "\r\n";
}

// The entry of one ticket in its area file: name, size and the description
// wrapped at 53 characters from column 26, the origin line, an empty line.
std::string Entry(const Record& r) {
  std::string out;
  std::string line = " " + PadRight(r.file_name, 12) + PadLeft(Grouped(r.size), 11);
  std::string rest = r.description;
  do {
    if (line.size() >= 25) line += ' ';
    line.resize(std::max<std::size_t>(line.size(), 25), ' ');
    const std::size_t cr = rest.find('\r');
    const bool at_cr = cr != std::string::npos && cr < 53;
    const std::size_t brk = at_cr ? cr + 1 : 53;
    if (rest.size() <= brk) {
      line += rest;
      rest.clear();
    } else if (at_cr) {
      line += rest.substr(0, brk - 1);
      rest.erase(0, brk);
    } else {
      const std::size_t space = rest.substr(1, 52).rfind(' ');
      if (space != std::string::npos) {
        line += rest.substr(0, space + 1);
        rest.erase(0, space + 2);
      } else {
        line += rest.substr(0, 53);
        rest.erase(0, 53);
      }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    AddLine(&out, line);
    line.clear();
  } while (!rest.empty());
  if (r.origin.zone != 0) {
    AddLine(&out, "");
    std::string origin = std::string(25, ' ') + "Origin: " + AddressText(r.origin);
    if (r.from.zone != 0) origin += " (via " + AddressText(r.from) + ")";
    AddLine(&out, origin);
  }
  AddLine(&out, "");
  return out;
}

std::string AreaFileName(std::uint32_t key) {
  char name[16];
  std::snprintf(name, sizeof name, "%08X.nef", key);
  return name;
}

struct Slot {
  std::uint32_t key = 0;
  std::int64_t bytes = 0;
  std::int64_t files = 0;
};

void WriteAreaEntry(const Slot& slot, bool first_in_run, const Record& r) {
  const std::string name = AreaFileName(slot.key);
  std::string text;
  int fd = -1;
  // An area file left by a stopped run is extended; normally the first entry
  // of an area finds none and creates it with the heading.
  if (first_in_run) fd = open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0 && first_in_run) {
    fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    AddLine(&text, " Area : " + r.area);
    AddLine(&text, kSeparator);
  } else if (fd < 0) {
    fd = open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) Stop("open area file");
  text += Entry(r);
  WriteAll(fd, text);
  if (close(fd) != 0) Stop("close area file");
}

std::string Today() {
  static const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%s %02d-%s-%02d", kDays[local.tm_wday], local.tm_mday,
                kMonths[local.tm_mon], local.tm_year % 100);
  return stamp;
}

// A template's lines with @date expanded, or false when it cannot be opened.
bool ReadTemplate(const char* name, std::string* out) {
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string text;
  char block[65536];
  ssize_t got;
  while ((got = read(fd, block, sizeof block)) > 0)
    text.append(block, static_cast<std::size_t>(got));
  if (got < 0) Stop("read template");
  close(fd);
  ForEachLine(text, [&](std::string_view line) {
    std::string expanded;
    for (std::size_t at = 0; at < line.size(); ++at) {
      if (line[at] == '@' && CompareFolded(line.substr(at + 1, 4), "DATE") == 0) {
        expanded += Today();
        at += 4;
      } else {
        expanded += line[at];
      }
    }
    AddLine(out, expanded.substr(0, 255));
  });
  return true;
}

// Copies an area file into the report between the text before and after it,
// in blocks, and deletes it.
void CopyAreaFile(const std::string& name, std::string_view before, std::string_view after,
                  int report) {
  const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Stop("open area file");
  static char block[65536];
  std::memcpy(block, before.data(), before.size());
  std::size_t filled = before.size();
  for (;;) {
    const ssize_t got = read(fd, block + filled, sizeof block - filled);
    if (got < 0) Stop("read area file");
    filled += static_cast<std::size_t>(got);
    if (got == 0 || filled == sizeof block) {
      if (got == 0 && filled + after.size() <= sizeof block) {
        std::memcpy(block + filled, after.data(), after.size());
        WriteAll(report, std::string_view(block, filled + after.size()));
        break;
      }
      WriteAll(report, std::string_view(block, filled));
      filled = 0;
      if (got == 0) {
        WriteAll(report, after);
        break;
      }
    }
  }
  if (close(fd) != 0) Stop("close area file");
  if (unlink(name.c_str()) != 0) Stop("delete area file");
}

int CreateReport(const std::string& mask, const std::string& report_name) {
  Say("Creating report...");
  std::vector<Slot> slots;
  off_t length = 0;
  const int db = OpenDatabase(&length);
  unsigned char image[kRecordSize];
  for (off_t position = 0; position < length; position += kRecordSize) {
    ReadRecord(db, image);
    const Record r = Decode(image);
    if (r.size <= 0 || !MaskMatch(mask, r.area)) continue;
    const std::uint32_t key = AreaKey(r.area);
    auto slot =
        std::find_if(slots.begin(), slots.end(), [key](const Slot& s) { return s.key == key; });
    const bool first = slot == slots.end();
    if (first) {
      if (slots.size() == 255) continue;
      slot = slots.insert(slots.end(), Slot{key, 0, 0});
    }
    slot->bytes += r.size;
    slot->files += 1;
    WriteAreaEntry(*slot, first, r);
    SetSize(image, 0);
    RewriteRecord(db, position, image);
  }
  if (close(db) != 0) Stop("close ticbase.dat");
  SayLine(" done.");
  SayLine("Writing...");

  int report = open(report_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  const bool to_file = report >= 0;
  if (!to_file) {
    SayLine("Can't create report, using standard output.");
    report = 1;
  }
  std::string text;
  if (!ReadTemplate("prefix.nef", &text)) SayLine("Header not added due Prefix.Nef missing");
  WriteAll(report, text);

  std::int64_t total_bytes = 0;
  std::int64_t total_files = 0;
  for (const Slot& slot : slots) {
    std::string after;
    AddLine(&after, kSeparator);
    AddLine(&after, " " + PadRight(Grouped(slot.bytes), 13) + "bytes in " +
                        PadRight(std::to_string(slot.files), 4) + "file(s)");
    CopyAreaFile(AreaFileName(slot.key), "\r\n", after, report);
    total_bytes += slot.bytes;
    total_files += slot.files;
  }
  if (total_bytes > 0) {
    text.clear();
    AddLine(&text, "");
    AddLine(&text, " Total of " + Grouped(total_bytes) + " in " + std::to_string(total_files) +
                       " file(s)");
    AddLine(&text, "");
    std::string footer;
    const bool found = ReadTemplate("suffix.nef", &footer);
    WriteAll(report, text);
    if (!found) SayLine("Footer not added due Suffix.Nef missing");
    WriteAll(report, footer);
  }
  if (to_file) {
    if (close(report) != 0) Stop("close report");
    if (total_bytes == 0 && unlink(report_name.c_str()) != 0) Stop("delete report");
  }
  SayLine("Done.");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SayLine("Corvane benchmark reference");
  if (argc != 4) {
    SayLine("Usage: reference 0 <Inbound> <BadTics> | 1 <BadTics> . | 2 <Mask> <Report.Txt>");
    return 1;
  }
  const std::string mode = argv[1];
  SayLine("Mode: " + mode);
  if (mode == "0") return ProcessInbound(argv[2], argv[3]);
  if (mode == "1") return CheckStoredTickets(argv[2]);
  if (mode == "2") return CreateReport(argv[2], argv[3]);
  SayLine("? Erroneous mode");
  return 0;
}
