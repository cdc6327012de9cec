#include "harness.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace corvane::test {
namespace fs = std::filesystem;

namespace {

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

fs::path MakeTempDir(const fs::path& base, const char* stem) {
  std::string pattern = (base / stem).string() + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Little-endian numbers, and texts as a length byte and up to `capacity`
// characters, at these offsets.
constexpr std::size_t kKeyAt = 0, kFileAt = 9, kDescAt = 22, kAreaAt = 278;
constexpr std::size_t kOriginAt = 303, kFromAt = 311;

std::int32_t Number(const std::string& rec, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(rec[at + i]);
  return bytes == 2 ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value);
}

void PutNumber(std::string& rec, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) rec[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Field(const std::string& rec, std::size_t at, std::size_t capacity) {
  return rec.substr(at + 1, std::min<std::size_t>(static_cast<std::uint8_t>(rec[at]), capacity));
}

void PutField(std::string& rec, std::size_t at, const std::string& text) {
  rec[at] = static_cast<char>(text.size());
  rec.replace(at + 1, text.size(), text);
}

std::string AddressText(const std::string& rec, std::size_t at) {
  if (Number(rec, at, 2) == 0) return "";
  return std::to_string(Number(rec, at, 2)) + ":" + std::to_string(Number(rec, at + 2, 2)) + "/" +
         std::to_string(Number(rec, at + 4, 2)) + "." + std::to_string(Number(rec, at + 6, 2));
}

}  // namespace

std::string CrLf(const std::vector<std::string>& lines, const std::string& eol) {
  std::string text;
  for (const auto& line : lines) text += line + eol;
  return text;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t at = 0; !text.empty() && at <= text.size();) {
    const std::size_t end = std::min(text.find(separator, at), text.size());
    parts.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

std::string Block(std::string_view text) {
  if (text.starts_with('\n')) text.remove_prefix(1);
  std::string out;
  for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}

std::string Numbered(const char* format, int n) {
  char text[64];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

std::string Preamble(int mode) {
  return CrLf({"Corvane/W32 1.4  FidoNet ticket base and new-files report",
               "Mode: " + std::to_string(mode)});
}

std::string Mode0Out(const std::string& lines) {
  return Preamble(0) + CrLf({"Processing incoming TICs..."}) + CrLf(Split(lines)) + CrLf({"Done."});
}

std::string ProgramPath() {
  const std::string program = Setting("CORVANE_PROGRAM");
  if (program.empty()) throw std::runtime_error("CORVANE_PROGRAM is not set");
  return fs::absolute(program).string();  // runs happen in another directory
}

bool UnderLauncher() { return !Setting("CORVANE_LAUNCHER").empty(); }

int RuntimeStopNumber(const std::string& err) {
  const std::string lead = "Runtime error ";
  if (!err.starts_with(lead) || !err.ends_with("\r\n")) return -1;
  std::size_t end = lead.size();
  while (end < err.size() && std::isdigit(static_cast<unsigned char>(err[end]))) ++end;
  return end == lead.size() ? -1 : std::stoi(err.substr(lead.size(), end - lead.size()));
}

Tree Files(std::string_view listing, const Tree& texts) {
  Tree tree;
  for (const std::string& item : Split(listing, ' ')) {
    if (item.empty()) continue;
    const std::size_t cut = item.find('=');
    const std::string content = cut == std::string::npos ? "" : item.substr(cut + 1);
    tree[item.substr(0, cut)] = content.starts_with('@') ? texts.at(content.substr(1)) : content;
  }
  return tree;
}

Sandbox::Sandbox(const fs::path& base) : root_(MakeTempDir(base, "corvane-e2e-")) {}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void Sandbox::Write(const std::string& relative, const std::string& bytes) const {
  fs::create_directories(Path(relative).parent_path());
  std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + relative);
}

void Sandbox::Populate(const Tree& tree) const {
  for (const auto& [name, bytes] : tree) {
    if (name.ends_with('/')) fs::create_directories(Path(name));
    if (!name.ends_with('/')) Write(name, bytes);
  }
}

std::string Sandbox::Read(const std::string& relative) const {
  if (!fs::exists(Path(relative))) throw std::runtime_error("missing file " + relative);
  return Slurp(Path(relative));
}

Tree Sandbox::Snapshot(bool with_ticbase) const {
  Tree tree;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    const std::string name = entry.path().lexically_relative(root_).generic_string();
    if (entry.is_symlink() || !(entry.is_regular_file() || entry.is_directory())) {
      tree[name] = "<special>";
    } else if (entry.is_directory()) {
      if (fs::is_empty(entry.path())) tree[name + "/"] = "";
    } else if (name != "ticbase.dat" || with_ticbase) {
      tree[name] = Slurp(entry.path());
    }
  }
  return tree;
}

RunResult Sandbox::Run(const std::vector<std::string>& args, const RunOptions& options) const {
  return Finish(Start(args, options));
}

Child Sandbox::Start(const std::vector<std::string>& args, const RunOptions& options) const {
  std::vector<std::string> argv;
  std::istringstream launcher(Setting("CORVANE_LAUNCHER"));
  for (std::string word; launcher >> word;) argv.push_back(word);
  argv.push_back(options.program.empty() ? ProgramPath() : options.program);
  argv.insert(argv.end(), args.begin(), args.end());
  // Output goes beside the sandbox, not into it, so it never shows up as a
  // file the program could see.
  Child child{-1, MakeTempDir(fs::temp_directory_path(), "corvane-out-"),
              options.stdout_path.empty()};
  const std::string out_path =
      child.stdout_captured ? (child.capture / "stdout").string() : options.stdout_path;
  const std::string err_path = (child.capture / "stderr").string();
  child.pid = fork();
  if (child.pid == 0) {
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int none = open("/dev/null", O_RDONLY);
    const rlimit limit = {static_cast<rlim_t>(options.max_files),
                          static_cast<rlim_t>(options.max_files)};
    if (out < 0 || err < 0 || none < 0 || chdir(Path(options.cwd).c_str()) != 0) _exit(127);
    dup2(none, 0);
    dup2(out, 1);
    dup2(err, 2);
    close_range(3, ~0U, 0);  // the program gets the three standard streams only
    if (options.max_files > 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(127);
    if (options.as_nobody &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(127);
    }
    std::vector<char*> raw;
    for (auto& word : argv) raw.push_back(word.data());
    raw.push_back(nullptr);
    execvp(raw[0], raw.data());
    _exit(127);
  }
  return child;
}

RunResult Finish(const Child& child) {
  int status = 0;
  waitpid(child.pid, &status, 0);
  RunResult result;
  if (child.stdout_captured) result.out = Slurp(child.capture / "stdout");
  result.err = Slurp(child.capture / "stderr");
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  fs::remove_all(child.capture);
  return result;
}

bool WaitFor(const std::function<bool()>& done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    usleep(200);
  }
  return true;
}

void ExpectScenario(const Scenario& s, const Tree& texts) {
  SCOPED_TRACE(s.args + " in " + s.before);
  Sandbox box;
  box.Populate(Files(s.before, texts));
  const RunResult run = box.Run(Split(s.args));
  EXPECT_EQ(run.out, s.out);
  EXPECT_EQ(run.exit_code, s.exit);
  EXPECT_EQ(RuntimeStopNumber(run.err), s.exit > 1 ? s.exit : -1) << run.err;
  EXPECT_TRUE(s.exit > 1 || run.err.empty()) << run.err;
  EXPECT_EQ(box.Snapshot(true), Files(s.after.empty() ? s.before : s.after, texts));
}

StoredTicket Ticket(const std::string& area, const std::string& file, std::int32_t size,
                    const std::string& desc, Address origin, Address from) {
  return {"", file, desc, area, size, origin, from};
}

std::vector<Fields> DecodeTicbase(const std::string& bytes) {
  if (bytes.size() % kRecordSize != 0) throw std::runtime_error("partial record in ticbase.dat");
  std::vector<Fields> records;
  for (std::size_t at = 0; at < bytes.size(); at += kRecordSize) {
    const std::string rec = bytes.substr(at, kRecordSize);
    records.emplace_back(Field(rec, kKeyAt, 8), Field(rec, kFileAt, 12),
                         Number(rec, kFileSizeOffset, 4), Field(rec, kAreaAt, 20),
                         Field(rec, kDescAt, 255), AddressText(rec, kOriginAt),
                         AddressText(rec, kFromAt));
  }
  return records;
}

std::string Database(std::vector<StoredTicket> tickets) {
  std::string db;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    const StoredTicket& t = tickets[i];
    const std::string number = std::to_string(i + 1);
    std::string rec(kRecordSize, static_cast<char>(0xA1 + i % 50));
    PutField(rec, kKeyAt,
             t.key.empty() ? "TK" + std::string(6 - number.size(), '0') + number : t.key);
    PutField(rec, kFileAt, t.file);
    PutField(rec, kDescAt, t.desc);
    PutField(rec, kAreaAt, t.area);
    PutNumber(rec, kFileSizeOffset, static_cast<std::uint32_t>(t.size), 4);
    for (int n = 0; n < 4; ++n) {
      PutNumber(rec, kOriginAt + 2 * n, static_cast<std::uint16_t>(t.origin[n]), 2);
      PutNumber(rec, kFromAt + 2 * n, static_cast<std::uint16_t>(t.from[n]), 2);
    }
    db += rec;
  }
  return db;
}

std::string SizesCleared(std::string db, const std::vector<std::size_t>& records) {
  for (std::size_t r : records) db.replace(r * kRecordSize + kFileSizeOffset, 4, 4, '\0');
  return db;
}

}  // namespace corvane::test
