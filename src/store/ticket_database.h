// ticbase.dat: a headerless file of 319-byte ticket records, in the current
// directory.
//
// Every operation returns its error. Nothing else is expected to change the
// file during a run (one run at a time holds the working directory), so the
// position and length are tracked here, the one place that knows them.
#ifndef CORVANE_STORE_TICKET_DATABASE_H_
#define CORVANE_STORE_TICKET_DATABASE_H_

#include <array>
#include <cstdint>
#include <string_view>

#include "files/file_system.h"
#include "store/ticket_record.h"

namespace corvane {

inline constexpr std::string_view DatabaseName = "ticbase.dat";
// A rewritten database before it takes the place of ticbase.dat.
inline constexpr std::string_view RewriteName = "ticbase.new";
// Made by a report once it is complete, removed by the next take-in: while
// it is missing, a report may still be owed for the records, so mode 0
// keeps them.
inline constexpr std::string_view ReportedMarkName = "ticbase.rep";

// A size ticbase.dat can hold: files of 2 GiB and more are stored as
// 2,147,483,647 bytes, never as a wrapped or negative number.
std::int32_t StoredSize(std::uint64_t size);

// Records move between the disk and these buffers 64 at a time, so a walk
// over a hundred thousand records is a few hundred calls, not one per record.
using RecordBlock = std::array<std::uint8_t, 64 * TicketRecordSize>;

class TicketDatabase {
 public:
  explicit TicketDatabase(os::FileSystem& fs) : fs_(fs) {}
  ~TicketDatabase();
  TicketDatabase(const TicketDatabase&) = delete;
  TicketDatabase& operator=(const TicketDatabase&) = delete;

  // Creates the file anew with length 0 and closes it.
  static os::ErrorCode CreateEmpty(os::FileSystem& fs);
  // Opens the existing file for reading and writing at record 0; never
  // creates it (FileNotFound when it is missing).
  os::ErrorCode Open();
  bool AtEnd() const { return position_ >= length_; }
  std::uint32_t WholeRecords() const {
    return static_cast<std::uint32_t>(length_ / TicketRecordSize);
  }
  bool HasPartRecord() const { return length_ % TicketRecordSize != 0; }
  // Reads the record at the current position into *record and advances by
  // one record; ReadFault when less than a whole record is left.
  os::ErrorCode ReadNext(TicketRecord* record);
  // The bytes ReadNext read last, exactly as they lie in the file.
  const RecordImage& LastImage() const { return last_; }
  // The number of the record ReadNext read last, counting from 0.
  std::uint32_t LastNumber() const;
  // Writes the FileSize of record number in place; no other byte changes.
  os::ErrorCode SetFileSize(std::uint32_t number, std::int32_t size);
  // Writes record after the last whole record; *number gets its number.
  // When the write fails, the file is cut back to its whole records before
  // the error is returned, so a full disk never leaves a partial record for
  // the next mode to trip on.
  os::ErrorCode Append(const TicketRecord& record, std::uint32_t* number);
  // Cuts the file back to its first count records.
  os::ErrorCode KeepFirst(std::uint32_t count);
  os::ErrorCode Close();

 private:
  os::FileSystem& fs_;
  os::FileHandle file_;
  std::uint64_t position_ = 0;  // bytes
  std::uint64_t length_ = 0;    // bytes
  RecordImage last_{};          // the bytes ReadNext read last
  RecordBlock block_{};         // bytes read ahead, from block_at_ on
  std::uint64_t block_at_ = 0;
  std::size_t block_size_ = 0;
};

// A new ticbase.dat, written beside the old one as ticbase.new and put in
// its place in one step by Commit: a run stopped before that leaves the old
// file as it was.
class DatabaseRewrite {
 public:
  explicit DatabaseRewrite(os::FileSystem& fs) : fs_(fs) {}
  // An uncommitted file goes.
  ~DatabaseRewrite();
  DatabaseRewrite(const DatabaseRewrite&) = delete;
  DatabaseRewrite& operator=(const DatabaseRewrite&) = delete;

  os::ErrorCode Start();
  os::ErrorCode Append(const RecordImage& image);
  os::ErrorCode Commit();

 private:
  os::ErrorCode Flush();

  os::FileSystem& fs_;
  os::FileHandle file_;
  std::uint64_t written_ = 0;
  std::size_t filled_ = 0;
  RecordBlock block_{};
};

}  // namespace corvane

#endif  // CORVANE_STORE_TICKET_DATABASE_H_
