// FaultEnv: an Env for tests that stands over another one (the real OS, as a
// rule) and passes every call on, except that it
// - numbers the calls that can change the disk, so that a test can walk a
//   fault over every one of them;
// - makes a chosen one fail, once or from then on (a disk that has filled
//   up), or write only part of its data;
// - "kills" the run after a chosen one: from then on nothing reaches the disk
//   or the console, so the program unwinds and leaves the disk exactly as a
//   process killed at that point would;
// - runs a test's action just before a chosen one, standing for another
//   program at work in the same directories;
// - keeps the console in two strings and the clock at the test's date;
// - knows which files the program opened and has not closed, and fails the
//   test when the program renames or deletes one of them, which Windows
//   refuses (its files are opened without FILE_SHARE_DELETE).
// It lives in this header alone, as the unit tests are built from their
// *_test.cpp files only.
#ifndef CORVANE_TESTS_UNIT_FAULT_ENV_H_
#define CORVANE_TESTS_UNIT_FAULT_ENV_H_

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/name_rules.h"

namespace corvane::test {

class FaultEnv final : public os::Env {
 public:
  explicit FaultEnv(os::Env& base) : base_(base) {}

  // Operations are numbered from 1 since the last Reset(). Every call of
  // Create, Open for ReadWrite, WriteAt, Truncate, Rename, Replace, CopyNew and Delete counts
  // one, whether it succeeds or not. Only these: a kill between two reads
  // leaves the disk the one before them left, so walking these covers every
  // state a killed run can leave behind. Calls, not changes: one that fails
  // by itself (a Delete of a file someone else removed) is still a moment
  // the program can be stopped at, and counting it keeps the numbers of a
  // run the same whatever the disk held. An Open for writing changes nothing
  // itself, but it is where a file held by another program or a read-only
  // medium first shows.

  // The k-th operation fails with error and changes nothing; with
  // from_then_on, every later one too, in later runs as well, until Reset().
  // A WriteAt fails with WriteFault whatever error is asked for: the only one
  // its contract knows.
  void FailAt(std::uint64_t k, os::ErrorCode error, bool from_then_on = false);
  // The k-th operation, a WriteAt, writes the first half of its data and
  // fails with WriteFault; another operation fails with DiskFull, the usual
  // cause of a short write.
  void ShortWriteAt(std::uint64_t k);
  // The k-th operation is done, then the process "dies": every later call of
  // any kind fails and changes nothing. Only Close still lets go of the
  // handle, as the OS does for a dead process (the next run must be able to
  // take the directory's lock), and reports a failure all the same.
  void CrashAfter(std::uint64_t k);
  // The k-th operation, a Rename, is cut half-way as a rename made of a link
  // and an unlink is (where the OS has no other way to rename without
  // replacing): the new name is made, then the process dies.
  void TornRenameAt(std::uint64_t k) { torn_at_ = k; }
  // action runs just before the k-th operation.
  void BeforeOp(std::uint64_t k, std::function<void()> action);
  void SetToday(const os::LocalDate& date) { today_ = date; }
  // Renames between two directories fail with NotSameDevice, as between two
  // file systems, so moves copy.
  void SetAcross(bool across) { across_ = across; }
  // Every LockDirectory fails with error (Ok: forwarded again).
  void FailLock(os::ErrorCode error) { lock_error_ = error; }
  // Every ListDirectory fails with error (Ok: forwarded again).
  void FailListing(os::ErrorCode error) { listing_error_ = error; }
  // Disarms every fault and action, and clears the count, the log and the
  // console. Open handles stay tracked: they belong to no single run.
  void Reset();

  std::uint64_t Operations() const { return count_; }
  // One line per operation, as "Rename in\a.zip -> bad\A.ZIP".
  const std::vector<std::string>& Log() const { return log_; }
  // How many operations failed because FailAt or ShortWriteAt said so.
  std::uint64_t Injected() const { return injected_; }
  bool Crashed() const { return crashed_; }
  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }
  void ClearConsole();
  // The paths of the handles opened and not closed; the lock of a directory
  // shows as "<lock>".
  std::vector<std::string> StillOpen() const;
  // Closes what the program left open, so that one leak does not spill into
  // the runs after it.
  void CloseLeftovers();

  os::ErrorCode Open(std::string_view path, os::FileAccess access, os::FileHandle* file,
                     std::uint64_t* length) override;
  os::ErrorCode Create(std::string_view path, os::FileHandle* file) override;
  os::ErrorCode ReadAt(os::FileHandle file, std::uint64_t position, void* buffer, std::size_t size,
                       std::size_t* done) override;
  os::ErrorCode WriteAt(os::FileHandle file, std::uint64_t position, const void* data,
                        std::size_t size) override;
  os::ErrorCode Truncate(os::FileHandle file, std::uint64_t length) override;
  os::ErrorCode Close(os::FileHandle* file) override;
  os::ErrorCode ListDirectory(std::string_view directory, os::ListingVisitor* visitor) override;
  os::ErrorCode Stat(std::string_view path, os::EntryInfo* info) override;
  os::ErrorCode Rename(std::string_view from, std::string_view to) override;
  os::ErrorCode Replace(std::string_view from, std::string_view to) override;
  os::ErrorCode CopyNew(std::string_view from, std::string_view to) override;
  os::ErrorCode Delete(std::string_view path) override;
  os::ErrorCode LockDirectory(std::string_view directory, os::FileHandle* lock) override;
  os::LocalDate Today() override;
  os::ErrorCode ConsoleWrite(os::Stream stream, const char* data, std::size_t size) override;
  std::size_t ExecutablePath(char* buffer, std::size_t capacity) override;

 private:
  enum class Verdict { Forward, Fail, Dead };
  os::ErrorCode lock_error_ = os::Ok;
  os::ErrorCode listing_error_ = os::Ok;
  bool across_ = false;
  // What a dead process's calls get. Any error does, as long as the program
  // cannot take it for "not there" and carry on changing things: nothing it
  // tries reaches the disk anyway.
  static constexpr os::ErrorCode kDead = os::GeneralFailure;
  // Numbers the operation `what` and says what becomes of it.
  Verdict Turn(std::string what);
  // After a numbered operation: the kill, when it was the chosen one.
  void Settle();
  // A mutating operation other than WriteAt: forward() does the real work.
  template <typename Forward>
  os::ErrorCode Mutate(std::string what, Forward forward);
  std::string PathOf(os::FileHandle file) const;
  void ExpectClosed(std::string_view path) const;
  void Track(os::ErrorCode error, os::FileHandle file, std::string_view path);

  os::Env& base_;
  std::uint64_t count_ = 0;
  std::uint64_t fail_at_ = 0;
  std::uint64_t crash_after_ = 0;
  std::uint64_t torn_at_ = 0;
  std::uint64_t before_at_ = 0;
  std::uint64_t injected_ = 0;
  os::ErrorCode error_ = os::Ok;
  bool from_then_on_ = false;
  bool short_write_ = false;
  bool crashed_ = false;
  std::function<void()> before_;
  std::optional<os::LocalDate> today_;
  std::map<std::intptr_t, std::string> open_;
  std::string out_;
  std::string err_;
  std::vector<std::string> log_;
};

inline void FaultEnv::FailAt(std::uint64_t k, os::ErrorCode error, bool from_then_on) {
  fail_at_ = k;
  error_ = error;
  from_then_on_ = from_then_on;
  short_write_ = false;
}

inline void FaultEnv::ShortWriteAt(std::uint64_t k) {
  FailAt(k, os::DiskFull);
  short_write_ = true;
}

inline void FaultEnv::CrashAfter(std::uint64_t k) { crash_after_ = k; }

inline void FaultEnv::BeforeOp(std::uint64_t k, std::function<void()> action) {
  before_at_ = k;
  before_ = std::move(action);
}

inline void FaultEnv::Reset() {
  count_ = fail_at_ = crash_after_ = torn_at_ = before_at_ = injected_ = 0;
  error_ = os::Ok;
  from_then_on_ = short_write_ = crashed_ = false;
  before_ = nullptr;
  log_.clear();
  ClearConsole();
}

inline void FaultEnv::ClearConsole() {
  out_.clear();
  err_.clear();
}

inline std::vector<std::string> FaultEnv::StillOpen() const {
  std::vector<std::string> paths;
  for (const auto& [handle, path] : open_) paths.push_back(path);
  return paths;
}

inline void FaultEnv::CloseLeftovers() {
  for (const auto& [handle, path] : open_) {
    os::FileHandle file{handle};
    (void)base_.Close(&file);
  }
  open_.clear();
}

inline FaultEnv::Verdict FaultEnv::Turn(std::string what) {
  if (crashed_) return Verdict::Dead;
  log_.push_back(std::move(what));
  if (++count_ == before_at_ && before_) before_();
  if (fail_at_ != 0 && (count_ == fail_at_ || (from_then_on_ && count_ > fail_at_))) {
    ++injected_;
    return Verdict::Fail;
  }
  return Verdict::Forward;
}

inline void FaultEnv::Settle() {
  if (count_ == crash_after_) crashed_ = true;
}

template <typename Forward>
os::ErrorCode FaultEnv::Mutate(std::string what, Forward forward) {
  const Verdict verdict = Turn(std::move(what));
  if (verdict == Verdict::Dead) return kDead;
  const os::ErrorCode error = verdict == Verdict::Fail ? error_ : forward();
  Settle();
  return error;
}

inline std::string FaultEnv::PathOf(os::FileHandle file) const {
  const auto found = open_.find(file.Value);
  return found == open_.end() ? "<not open>" : found->second;
}

inline void FaultEnv::ExpectClosed(std::string_view path) const {
  for (const auto& [handle, open] : open_) {
    EXPECT_FALSE(os::EqualIgnoringCase(open, path)) << path << " is moved or deleted while open";
  }
}

inline void FaultEnv::Track(os::ErrorCode error, os::FileHandle file, std::string_view path) {
  if (error == os::Ok) open_[file.Value] = path;
}

inline os::ErrorCode FaultEnv::Open(std::string_view path, os::FileAccess access,
                                    os::FileHandle* file, std::uint64_t* length) {
  const auto open = [&] {
    const os::ErrorCode error = base_.Open(path, access, file, length);
    Track(error, *file, path);
    return error;
  };
  if (access == os::FileAccess::ReadWrite) {
    return Mutate("Open ReadWrite " + std::string(path), open);
  }
  return crashed_ ? kDead : open();
}

inline os::ErrorCode FaultEnv::Create(std::string_view path, os::FileHandle* file) {
  return Mutate("Create " + std::string(path), [&] {
    const os::ErrorCode error = base_.Create(path, file);
    Track(error, *file, path);
    return error;
  });
}

inline os::ErrorCode FaultEnv::ReadAt(os::FileHandle file, std::uint64_t position, void* buffer,
                                      std::size_t size, std::size_t* done) {
  if (!crashed_) return base_.ReadAt(file, position, buffer, size, done);
  *done = 0;
  return kDead;
}

inline os::ErrorCode FaultEnv::WriteAt(os::FileHandle file, std::uint64_t position,
                                       const void* data, std::size_t size) {
  const Verdict verdict = Turn("WriteAt " + PathOf(file) + " " + std::to_string(size) + " at " +
                               std::to_string(position));
  if (verdict == Verdict::Dead) return os::WriteFault;
  os::ErrorCode error = os::WriteFault;
  if (verdict == Verdict::Forward) {
    error = base_.WriteAt(file, position, data, size);
  } else if (short_write_ && size / 2 > 0) {
    (void)base_.WriteAt(file, position, data, size / 2);
  }
  Settle();
  return error;
}

inline os::ErrorCode FaultEnv::Truncate(os::FileHandle file, std::uint64_t length) {
  return Mutate("Truncate " + PathOf(file) + " to " + std::to_string(length),
                [&] { return base_.Truncate(file, length); });
}

inline os::ErrorCode FaultEnv::Close(os::FileHandle* file) {
  open_.erase(file->Value);
  const os::ErrorCode error = base_.Close(file);
  return crashed_ ? kDead : error;
}

inline os::ErrorCode FaultEnv::ListDirectory(std::string_view directory,
                                             os::ListingVisitor* visitor) {
  if (listing_error_ != os::Ok) return listing_error_;
  return crashed_ ? kDead : base_.ListDirectory(directory, visitor);
}

inline os::ErrorCode FaultEnv::Stat(std::string_view path, os::EntryInfo* info) {
  return crashed_ ? kDead : base_.Stat(path, info);
}

inline os::ErrorCode FaultEnv::Rename(std::string_view from, std::string_view to) {
  // Between two directories, as if they lay on two file systems.
  const bool across = across_ && os::DirectoryPart(from) != os::DirectoryPart(to);
  ExpectClosed(from);
  ExpectClosed(to);
  return Mutate("Rename " + std::string(from) + " -> " + std::string(to), [&] {
    if (across) return os::NotSameDevice;
    if (count_ != torn_at_) return base_.Rename(from, to);
    const auto native = [](std::string_view path) {
      std::string name(path);
      std::replace(name.begin(), name.end(), '\\', '/');
      return name;
    };
    std::error_code error;
    std::filesystem::create_hard_link(native(from), native(to), error);
    crashed_ = true;
    return kDead;
  });
}

inline os::ErrorCode FaultEnv::Replace(std::string_view from, std::string_view to) {
  ExpectClosed(from);
  ExpectClosed(to);
  return Mutate("Replace " + std::string(from) + " -> " + std::string(to),
                [&] { return base_.Replace(from, to); });
}

inline os::ErrorCode FaultEnv::CopyNew(std::string_view from, std::string_view to) {
  return Mutate("CopyNew " + std::string(from) + " -> " + std::string(to),
                [&] { return base_.CopyNew(from, to); });
}

inline os::ErrorCode FaultEnv::Delete(std::string_view path) {
  ExpectClosed(path);
  return Mutate("Delete " + std::string(path), [&] { return base_.Delete(path); });
}

inline os::ErrorCode FaultEnv::LockDirectory(std::string_view directory, os::FileHandle* lock) {
  if (crashed_) return kDead;
  if (lock_error_ != os::Ok) return lock_error_;
  const os::ErrorCode error = base_.LockDirectory(directory, lock);
  Track(error, *lock, "<lock>");
  return error;
}

// The clock has no way to fail: a dead process reads a date of zeros, which
// the program can only print.
inline os::LocalDate FaultEnv::Today() {
  if (crashed_) return os::LocalDate{};
  return today_ ? *today_ : base_.Today();
}

inline os::ErrorCode FaultEnv::ConsoleWrite(os::Stream stream, const char* data, std::size_t size) {
  if (crashed_) return os::WriteFault;
  (stream == os::Stream::Output ? out_ : err_).append(data, size);
  return os::Ok;
}

inline std::size_t FaultEnv::ExecutablePath(char* buffer, std::size_t capacity) {
  return crashed_ ? 0 : base_.ExecutablePath(buffer, capacity);
}

}  // namespace corvane::test

#endif  // CORVANE_TESTS_UNIT_FAULT_ENV_H_
