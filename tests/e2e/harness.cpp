#include "harness.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace corvane::test {
namespace {

fs::path MakeTempDir(const fs::path& base, const char* stem) {
  std::string pattern = (base / stem).string() + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// Where each text (a length byte, then up to its capacity) and each
// little-endian number lies in a record.
constexpr std::size_t kKey = 0, kFile = 9, kDesc = 22, kArea = 278, kSize = 299, kOrigin = 303,
                      kFrom = 311;

}  // namespace

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Sandbox::Sandbox(const Tree& tree, const fs::path& base)
    : root_(MakeTempDir(base, "corvane-e2e-")) {
  for (const auto& [name, bytes] : tree) {
    if (name.ends_with('/')) fs::create_directories(Path(name));
    if (!name.ends_with('/')) Write(name, bytes);
  }
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
  EXPECT_EQ(s.stored == "-" ? "-" : Stored(box.Read("ticbase.dat")), s.stored);
}

std::string Database(const std::vector<Ticket>& tickets) {
  std::string db;
  for (std::size_t i = 0; i < tickets.size(); ++i) {
    const Ticket& t = tickets[i];
    std::string rec(kRecordSize, static_cast<char>(0xA1 + i % 50));
    const auto text = [&](std::size_t at, const std::string& value) {
      rec[at] = static_cast<char>(value.size());
      rec.replace(at + 1, value.size(), value);
    };
    const auto number = [&](std::size_t at, std::uint32_t value, int bytes) {
      for (int b = 0; b < bytes; ++b) rec[at + b] = static_cast<char>(value >> 8 * b);
    };
    text(kKey, t.key.empty() ? Numbered("TK%06d", static_cast<int>(i + 1)) : t.key);
    text(kFile, t.file);
    text(kDesc, t.desc);
    text(kArea, t.area);
    number(kSize, static_cast<std::uint32_t>(t.size), 4);
    for (int n = 0; n < 4; ++n) {
      number(kOrigin + 2 * n, static_cast<std::uint16_t>(t.origin[n]), 2);
      number(kFrom + 2 * n, static_cast<std::uint16_t>(t.from[n]), 2);
    }
    db += rec;
  }
  return db;
}

std::string SizesCleared(std::string db, const std::vector<std::size_t>& records) {
  for (std::size_t r = 0; r < db.size() / kRecordSize; ++r) {
    if (records.empty() || std::find(records.begin(), records.end(), r) != records.end()) {
      db.replace(r * kRecordSize + kSize, 4, 4, '\0');
    }
  }
  return db;
}

std::string Stored(const std::string& db) {
  if (db.size() % kRecordSize != 0) throw std::runtime_error("partial record in ticbase.dat");
  std::string all;
  for (std::size_t at = 0; at < db.size(); at += kRecordSize) {
    const auto text = [&](std::size_t field, std::size_t capacity) {
      const auto length = static_cast<std::uint8_t>(db[at + field]);
      return db.substr(at + field + 1, std::min<std::size_t>(length, capacity)) + ",";
    };
    const auto number = [&](std::size_t field, int bytes) {
      std::uint32_t value = 0;
      for (int b = bytes - 1; b >= 0; --b)
        value = value << 8 | static_cast<std::uint8_t>(db[at + field + b]);
      return bytes == 2 ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value);
    };
    const auto address = [&](std::size_t field) {
      return number(field, 2) == 0
                 ? std::string()
                 : Numbered("%d:", number(field, 2)) + Numbered("%d/", number(field + 2, 2)) +
                       Numbered("%d.", number(field + 4, 2)) + std::to_string(number(field + 6, 2));
    };
    all += at ? "|" : "";
    all += text(kKey, 8) + text(kFile, 12) + Numbered("%d,", number(kSize, 4)) + text(kArea, 20) +
           text(kDesc, 255) + address(kOrigin) + "," + address(kFrom);
  }
  return all;
}

}  // namespace corvane::test
