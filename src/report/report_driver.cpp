#include "report/report_driver.h"

#include "base/console.h"
#include "base/paths.h"
#include "base/status.h"
#include "base/text_file.h"
#include "base/text_helpers.h"
#include "report/area_section_writer.h"
#include "report/area_table.h"
#include "report/report_format.h"
#include "store/ticket_database.h"

namespace corvane {
namespace {

constexpr std::string_view HeaderTemplate = "prefix.nef";
constexpr std::string_view FooterTemplate = "suffix.nef";

// Whether path names one of the files this run reads, writes or deletes:
// the database and its companions, a template (also one that is missing:
// the report would become the template it reads) or an area's file.
// Writing the report there would destroy it.
bool NamesOwnFile(os::FileSystem& fs, std::string_view path, const AreaTable& table) {
  for (std::string_view name :
       {DatabaseName, RewriteName, ReportedMarkName, HeaderTemplate, FooterTemplate}) {
    if (SameFilePath(fs, path, name)) return true;
  }
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    for (const Text& file :
         {ScratchFileName(table[number].Key), LeftOverFileName(table[number].Key)}) {
      if (SameFilePath(fs, path, file)) return true;
    }
  }
  return false;
}

os::ErrorCode OpenReport(os::FileSystem& fs, const ReportJob& job, const AreaTable& table,
                         TextWriter* report) {
  const std::string_view path = job.ReportPath;
  if (path.empty()) {
    report->UseStandardOutput(fs.OsEnv());
    return os::Ok;
  }
  // A link that points nowhere (to a missing template, say) is no plain
  // file, so it is never created through: the checks here see every own file.
  const bool own = job.ReportPathCut || NamesOwnFile(fs, path, table);
  if (!own && report->Create(fs, path) == os::Ok) return os::Ok;
  // An earlier run's report left under the name would pass for this one's,
  // and announce its files again.
  os::FileSystem::Found stale = os::FileSystem::Found::Nothing;
  if (!own) CORVANE_RETURN_IF_ERROR(fs.Look(path, &stale));
  if (stale == os::FileSystem::Found::PlainFile) CORVANE_RETURN_IF_ERROR(fs.RemoveFile(path));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Can't create report, using standard output."));
  report->UseStandardOutput(fs.OsEnv());
  return os::Ok;
}

os::ErrorCode WriteTemplate(os::FileSystem& fs, std::string_view name, std::string_view missing,
                            TextWriter* report) {
  TextReader source;
  // A report on the console is written line by line, so this message
  // stands where the template's lines would.
  if (source.Open(fs, name) != os::Ok) return WriteLine(fs.OsEnv(), missing);
  Text line;
  while (source.ReadLine(&line)) {
    CORVANE_RETURN_IF_ERROR(report->WriteLine(ExpandTemplateLine(line, fs.OsEnv().Today())));
  }
  CORVANE_RETURN_IF_ERROR(source.Error());
  return source.Close();
}

os::ErrorCode CopyFile(os::FileSystem& fs, std::string_view name, TextWriter* report) {
  TextReader file;
  CORVANE_RETURN_IF_ERROR(file.Open(fs, name));
  Text line;
  while (file.ReadLine(&line)) CORVANE_RETURN_IF_ERROR(report->WriteLine(line));
  CORVANE_RETURN_IF_ERROR(file.Error());
  return file.Close();
}

Text SubtotalLine(const AreaSlot& slot) {
  Text line(" ");
  line.Append(PadRight(ThousandsText(slot.Bytes), 13).View());
  line.Append("bytes in ");
  line.Append(PadRight(ZeroPadNumber(slot.Files, 1), 4).View());
  line.Append("file(s)");
  return line;
}

os::ErrorCode WriteSection(os::FileSystem& fs, const AreaSlot& slot, TextWriter* report) {
  CORVANE_RETURN_IF_ERROR(report->WriteLine(""));
  if (slot.LeftOver) {
    CORVANE_RETURN_IF_ERROR(CopyFile(fs, LeftOverFileName(slot.Key), report));
  } else {
    Text heading(" Area : ");
    heading.Append(slot.Name.View());
    CORVANE_RETURN_IF_ERROR(report->WriteLine(heading));
    CORVANE_RETURN_IF_ERROR(report->WriteLine(SeparatorLine));
  }
  if (slot.Files > 0) CORVANE_RETURN_IF_ERROR(CopyFile(fs, ScratchFileName(slot.Key), report));
  CORVANE_RETURN_IF_ERROR(report->WriteLine(SeparatorLine));
  CORVANE_RETURN_IF_ERROR(report->WriteLine(SubtotalLine(slot)));
  return report->Flush();
}

// Everything between the opened report and its close. The counts are the
// records': left-over entries are shown, not counted.
os::ErrorCode WriteReport(os::FileSystem& fs, const AreaTable& table, TextWriter* report) {
  CORVANE_RETURN_IF_ERROR(
      WriteTemplate(fs, HeaderTemplate, "Header not added due Prefix.Nef missing", report));
  std::int64_t total_bytes = 0;
  std::int64_t total_files = 0;
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    CORVANE_RETURN_IF_ERROR(WriteSection(fs, table[number], report));
    total_bytes += table[number].Bytes;
    total_files += table[number].Files;
  }
  if (!table[1].Used) return os::Ok;
  Text total(" Total of ");
  total.Append(ThousandsText(total_bytes).View());
  total.Append(" in ");
  total.Append(ZeroPadNumber(total_files, 1).View());
  total.Append(" file(s)");
  CORVANE_RETURN_IF_ERROR(report->WriteLine(""));
  CORVANE_RETURN_IF_ERROR(report->WriteLine(total));
  CORVANE_RETURN_IF_ERROR(report->WriteLine(""));
  return WriteTemplate(fs, FooterTemplate, "Footer not added due Suffix.Nef missing", report);
}

}  // namespace

os::ErrorCode CreateReport(os::FileSystem& fs, const ReportJob& job) {
  CORVANE_RETURN_IF_ERROR(WriteText(fs.OsEnv(), "Creating report..."));
  AreaTable table;
  DatabaseRewrite marked(fs);
  std::uint32_t left_for_later = 0;
  CORVANE_RETURN_IF_ERROR(CollectNewFiles(fs, job.Mask, &table, &marked, &left_for_later));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), " done."));
  if (left_for_later > 0) {
    Text note = ZeroPadNumber(left_for_later, 1);
    note.Append(" ticket(s) left for a later run: more than 255 areas.");
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), note));
  }
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.OsEnv(), "Writing..."));

  TextWriter report;
  CORVANE_RETURN_IF_ERROR(OpenReport(fs, job, table, &report));
  os::ErrorCode error = WriteReport(fs, table, &report);
  if (error == os::Ok) error = report.Close();
  if (error == os::Ok) error = WriteLine(fs.OsEnv(), "Done.");
  // The one change that makes the report count: its records marked, all at
  // once, as the last thing that matters.
  if (error == os::Ok) error = marked.Commit();
  // A report that does not count goes, so that nobody posts it: the next
  // run reports its tickets again. A run that found nothing new leaves no
  // report either.
  if (!report.IsStandardOutput() && (error != os::Ok || !table[1].Used)) {
    (void)report.Close();
    const os::ErrorCode removed = fs.RemoveFile(job.ReportPath);
    if (error == os::Ok) error = removed;
  }
  CORVANE_RETURN_IF_ERROR(error);
  // Tidying only: a run stopped here leaves scratch files the next one
  // clears, and at worst a left-over area file it shows again.
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    const AreaSlot& slot = table[number];
    if (slot.Files > 0) (void)fs.RemoveFile(ScratchFileName(slot.Key));
    if (slot.LeftOver) (void)fs.RemoveFile(LeftOverFileName(slot.Key));
  }
  // Tickets left for a later run are owed a report: the next take-in must
  // keep them.
  os::FileHandle mark;
  if (left_for_later == 0 && fs.CreateTruncated(ReportedMarkName, &mark) == os::Ok) {
    (void)fs.OsEnv().Close(&mark);
  }
  return os::Ok;
}

}  // namespace corvane
