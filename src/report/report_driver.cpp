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

// The one of the files this run reads or deletes that path names, if any:
// the database, a template (also one that is missing: the report would
// become the template it reads) or an area file. Writing the report there
// would destroy it.
std::string_view OwnFileAt(os::FileSystem& fs, std::string_view path, const AreaTable& table,
                           Text* area_file) {
  for (std::string_view name : {DatabaseName, HeaderTemplate, FooterTemplate}) {
    if (SameFilePath(fs, path, name)) return name;
  }
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    *area_file = AreaFileName(table[number].Key);
    if (SameFilePath(fs, path, *area_file)) return *area_file;
  }
  return {};
}

os::ErrorCode OpenReport(os::FileSystem& fs, const ReportJob& job, const AreaTable& table,
                         TextWriter* report) {
  const std::string_view path = job.ReportPath;
  if (path.empty()) {
    report->UseStandardOutput(fs.env());
    return os::Ok;
  }
  // A link that points nowhere (to a missing template, say) is no plain
  // file, so it is never created through: the checks here see every own file.
  Text area_file;
  const bool created = !job.ReportPathCut && OwnFileAt(fs, path, table, &area_file).empty() &&
                       report->Create(fs, path) == os::Ok;
  if (!created) {
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), "Can't create report, using standard output."));
    report->UseStandardOutput(fs.env());
  }
  return os::Ok;
}

os::ErrorCode WriteTemplate(os::FileSystem& fs, std::string_view name, std::string_view missing,
                            TextWriter* report) {
  TextReader source;
  // A report on the console is written line by line, so this message
  // stands where the template's lines would.
  if (source.Open(fs, name) != os::Ok) return WriteLine(fs.env(), missing);
  Text line;
  while (source.ReadLine(&line)) {
    CORVANE_RETURN_IF_ERROR(report->WriteLine(ExpandTemplateLine(line, fs.env().Today())));
  }
  CORVANE_RETURN_IF_ERROR(source.Error());
  return source.Close();
}

os::ErrorCode CopyAreaFile(os::FileSystem& fs, std::string_view name, TextWriter* report) {
  TextReader area_file;
  CORVANE_RETURN_IF_ERROR(area_file.Open(fs, name));
  Text line;
  while (area_file.ReadLine(&line)) CORVANE_RETURN_IF_ERROR(report->WriteLine(line));
  CORVANE_RETURN_IF_ERROR(area_file.Error());
  return area_file.Close();
}

Text SubtotalLine(const AreaSlot& slot) {
  Text line(" ");
  line.Append(PadRight(ThousandsText(slot.Bytes), 13).View());
  line.Append("bytes in ");
  line.Append(PadRight(ZeroPadNumber(slot.Files, 1), 4).View());
  line.Append("file(s)");
  return line;
}

// Everything between the opened report and its close. *total_bytes is what
// the sections held.
os::ErrorCode WriteReport(os::FileSystem& fs, const AreaTable& table, TextWriter* report,
                          std::int64_t* total_bytes) {
  CORVANE_RETURN_IF_ERROR(
      WriteTemplate(fs, HeaderTemplate, "Header not added due Prefix.Nef missing", report));
  std::int64_t total_files = 0;
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    const AreaSlot& slot = table[number];
    CORVANE_RETURN_IF_ERROR(report->WriteLine(""));
    CORVANE_RETURN_IF_ERROR(CopyAreaFile(fs, AreaFileName(slot.Key), report));
    CORVANE_RETURN_IF_ERROR(report->WriteLine(SeparatorLine));
    CORVANE_RETURN_IF_ERROR(report->WriteLine(SubtotalLine(slot)));
    CORVANE_RETURN_IF_ERROR(report->Flush());
    *total_bytes += slot.Bytes;
    total_files += slot.Files;
  }
  if (*total_bytes <= 0) return os::Ok;
  Text total(" Total of ");
  total.Append(ThousandsText(*total_bytes).View());
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
  CORVANE_RETURN_IF_ERROR(WriteText(fs.env(), "Creating report..."));
  AreaTable table;
  std::uint32_t left_for_later = 0;
  CORVANE_RETURN_IF_ERROR(CollectNewFiles(fs, job.Mask, &table, &left_for_later));
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), " done."));
  if (left_for_later > 0) {
    Text note = ZeroPadNumber(left_for_later, 1);
    note.Append(" ticket(s) left for a later run: more than 255 areas.");
    CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), note));
  }
  CORVANE_RETURN_IF_ERROR(WriteLine(fs.env(), "Writing..."));

  TextWriter report;
  CORVANE_RETURN_IF_ERROR(OpenReport(fs, job, table, &report));
  std::int64_t total_bytes = 0;
  os::ErrorCode error = WriteReport(fs, table, &report, &total_bytes);
  if (error == os::Ok) error = report.Close();
  // A report cut short goes: the area files, still there, make the next
  // run's report whole. A run that found nothing new leaves no report either.
  if (!report.IsStandardOutput() && (error != os::Ok || total_bytes <= 0)) {
    (void)report.Close();
    const os::ErrorCode removed = fs.RemoveFile(job.ReportPath);
    if (error == os::Ok) error = removed;
  }
  CORVANE_RETURN_IF_ERROR(error);
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    CORVANE_RETURN_IF_ERROR(fs.RemoveFile(AreaFileName(table[number].Key)));
  }
  return WriteLine(fs.env(), "Done.");
}

}  // namespace corvane
