#include "harness.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <sstream>

namespace corvane::test {
namespace {

fs::path MakeTempDir(const fs::path& base, const char* stem) {
  std::string pattern = (base / stem).string() + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// Where each text (a length byte, then up to its capacity) lies in a record:
// key, file, area, description. The little-endian numbers follow at kSize:
// the size (4 bytes), then origin and from, each four 2-byte numbers.
constexpr std::size_t kText[][2] = {{0, 8}, {9, 12}, {278, 20}, {22, 255}}, kSize = 299;
static_assert(std::endian::native == std::endian::little, "records are copied as they lie");

}  // namespace

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Sandbox::Sandbox(const Tree& tree, const fs::path& base)
    : root_(MakeTempDir(base, "corvane-e2e-")) {
  for (const auto& [name, bytes] : tree)
    name.ends_with('/') ? (void)fs::create_directories(Path(name)) : Write(name, bytes);
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
}

void Sandbox::Write(const std::string& relative, const std::string& bytes) const {
  fs::create_directories(Path(relative).parent_path());
  std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
  if (!(out << bytes)) throw std::runtime_error("cannot write " + relative);
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

Child Sandbox::Start(const std::vector<std::string>& args, const RunOptions& options) const {
  std::vector<std::string> argv;
  std::istringstream launcher(UnderLauncher() ? std::getenv("CORVANE_LAUNCHER") : "");
  for (std::string word; launcher >> word;) argv.push_back(word);
  argv.push_back(options.program.empty() ? ProgramPath() : options.program);
  argv.insert(argv.end(), args.begin(), args.end());
  // Output goes beside the sandbox, never into it where the program sees it.
  Child child{-1, MakeTempDir(fs::temp_directory_path(), "corvane-out-")};
  if ((child.pid = fork()) == 0) {
    const std::string out =
        options.stdout_path.empty() ? (child.capture / "stdout").string() : options.stdout_path;
    const int none = open("/dev/null", O_RDONLY), fd = O_WRONLY | O_CREAT | O_TRUNC;
    if (dup2(none, 0) < 0 || dup2(open(out.c_str(), fd, 0644), 1) < 0 ||
        dup2(open((child.capture / "stderr").c_str(), fd, 0644), 2) < 0 ||
        chdir(Path(options.cwd).c_str()) != 0) {
      _exit(127);
    }
    close_range(3, ~0U, 0);  // the program gets the three standard streams only
    const rlimit limit = {static_cast<rlim_t>(options.max_files),
                          static_cast<rlim_t>(options.max_files)};
    if ((options.max_files > 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0) ||
        (options.as_nobody && (setgroups(0, nullptr) || setgid(65534) || setuid(65534)))) {
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
  RunResult result{Slurp(child.capture / "stdout"), Slurp(child.capture / "stderr"),
                   WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  fs::remove_all(child.capture);
  return result;
}

void ExpectScenario(const Scenario& s, const Tree& texts) {
  SCOPED_TRACE(s.args + " in " + s.before);
  Sandbox box(Files(s.before, texts));
  const RunResult run = box.Run(Split(s.args));
  EXPECT_EQ(run.out, s.out);
  EXPECT_EQ(run.exit_code, s.exit);
  EXPECT_TRUE(s.exit > 1 ? Stopped(run.err, s.exit) : run.err.empty()) << run.err;
  EXPECT_EQ(box.Snapshot(s.stored == "-"), Files(s.after.empty() ? s.before : s.after, texts));
  EXPECT_EQ(s.stored == "-" ? "-" : Stored(Slurp(box.Path("ticbase.dat"))), s.stored);
}

std::string Database(const std::vector<Ticket>& tickets) {
  std::string db;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    const Ticket& t = tickets[i];
    std::string rec(kRecordSize, static_cast<char>(0xA1 + i % 50));
    const std::string texts[] = {t.key.empty() ? Numbered("TK%06zu", i + 1) : t.key, t.file, t.area,
                                 t.desc};
    for (int f = 0; f < 4; ++f)
      rec.replace(kText[f][0], texts[f].size() + 1, static_cast<char>(texts[f].size()) + texts[f]);
    std::memcpy(&rec[kSize], &t.size, 4);
    std::memcpy(&rec[kSize + 4], t.origin.data(), 8);
    std::memcpy(&rec[kSize + 12], t.from.data(), 8);
    db += rec;
  }
  return db;
}

std::string SizesCleared(std::string db, const std::vector<std::size_t>& records) {
  for (std::size_t r = 0; r < db.size() / kRecordSize; ++r)
    if (records.empty() || std::ranges::count(records, r))
      db.replace(r * kRecordSize + kSize, 4, 4, 0);
  return db;
}

std::string Stored(const std::string& db) {
  if (db.size() % kRecordSize != 0) throw std::runtime_error("partial record in ticbase.dat");
  std::string all;
  for (std::size_t at = 0; at < db.size(); at += kRecordSize) {
    const auto text = [&](int f) {
      const auto length = static_cast<std::uint8_t>(db[at + kText[f][0]]);
      return db.substr(at + kText[f][0] + 1, std::min<std::size_t>(length, kText[f][1])) + ",";
    };
    std::int32_t size;
    std::int16_t a[8];  // origin, from
    std::memcpy(&size, &db[at + kSize], 4);
    std::memcpy(a, &db[at + kSize + 4], 16);
    const auto address = [&](int o) {
      return a[o] ? Numbered("%d:%d/%d.%d", a[o], a[o + 1], a[o + 2], a[o + 3]) : "";
    };
    all += (at ? "|" : "") + text(0) + text(1) + Numbered("%d,", size) + text(2) + text(3) +
           address(0) + "," + address(4);
  }
  return all;
}

}  // namespace corvane::test
