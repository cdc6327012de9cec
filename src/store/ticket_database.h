// ticbase.dat: a headerless file of 319-byte ticket records, in the current
// directory.
//
// Every operation returns its error. Nothing else is expected to change the
// file during a run (one run at a time holds the working directory), so the
// position and length are tracked here, the one place that knows them.
#ifndef CORVANE_STORE_TICKET_DATABASE_H_
#define CORVANE_STORE_TICKET_DATABASE_H_

#include <cstdint>
#include <string_view>

#include "platform/file_system.h"
#include "store/ticket_record.h"

namespace corvane {

inline constexpr std::string_view DatabaseName = "ticbase.dat";

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
  // Reads the record at the current position into *record and advances by
  // one record; ReadFault when less than a whole record is left.
  os::ErrorCode ReadNext(TicketRecord* record);
  // The number of the record ReadNext read last, counting from 0.
  std::uint32_t LastNumber() const;
  // Marks the record read last as reported or bad: writes it back where it
  // came from with FileSize 0 and every other byte as it was read, then goes
  // on after it.
  os::ErrorCode MarkLast();
  // Writes record after the last whole record. When the write fails, the
  // file is cut back to its whole records before the error is returned, so
  // a full disk never leaves a partial record for the next mode to trip on.
  os::ErrorCode Append(const TicketRecord& record);
  os::ErrorCode Close();

 private:
  os::FileSystem& fs_;
  os::FileHandle file_;
  std::uint64_t position_ = 0;  // bytes
  std::uint64_t length_ = 0;    // bytes
  RecordImage last_{};          // the bytes ReadNext read last
};

}  // namespace corvane

#endif  // CORVANE_STORE_TICKET_DATABASE_H_
