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
std::string_view OwnFileAt(std::string_view path, const AreaTable& table, Text* area_file) {
  for (std::string_view name : {DatabaseName, HeaderTemplate, FooterTemplate}) {
    if (SameFilePath(path, name)) return name;
  }
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    *area_file = AreaFileName(table[number].Key);
    if (SameFilePath(path, *area_file)) return *area_file;
  }
  return {};
}

os::ErrorCode OpenReport(const ReportJob& job, const AreaTable& table, TextWriter* report) {
  const std::string_view path = job.ReportPath;
  if (path.empty()) {
    report->UseStandardOutput();
    return os::Ok;
  }
  Text area_file;
  bool created = !job.ReportPathCut && OwnFileAt(path, table, &area_file).empty() &&
                 report->Create(path) == os::Ok;
  // A new file can still turn out to be a missing template, reached through
  // a link: it is empty yet, so it goes again at once.
  const std::string_view own = created ? OwnFileAt(path, table, &area_file) : std::string_view();
  if (!own.empty()) {
    CORVANE_RETURN_IF_ERROR(report->Close());
    CORVANE_RETURN_IF_ERROR(os::RemoveFile(own));
    created = false;
  }
  if (!created) {
    CORVANE_RETURN_IF_ERROR(WriteLine("Can't create report, using standard output."));
    report->UseStandardOutput();
  }
  return os::Ok;
}

os::ErrorCode WriteTemplate(std::string_view name, std::string_view missing, TextWriter* report) {
  TextReader source;
  // A report on the console is written line by line, so this message
  // stands where the template's lines would.
  if (source.Open(name) != os::Ok) return WriteLine(missing);
  Text line;
  while (source.ReadLine(&line)) {
    CORVANE_RETURN_IF_ERROR(report->WriteLine(ExpandTemplateLine(line, os::Today())));
  }
  CORVANE_RETURN_IF_ERROR(source.Error());
  return source.Close();
}

os::ErrorCode CopyAreaFile(std::string_view name, TextWriter* report) {
  TextReader area_file;
  CORVANE_RETURN_IF_ERROR(area_file.Open(name));
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
os::ErrorCode WriteReport(const AreaTable& table, TextWriter* report, std::int64_t* total_bytes) {
  CORVANE_RETURN_IF_ERROR(
      WriteTemplate(HeaderTemplate, "Header not added due Prefix.Nef missing", report));
  std::int64_t total_files = 0;
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    const AreaSlot& slot = table[number];
    CORVANE_RETURN_IF_ERROR(report->WriteLine(""));
    CORVANE_RETURN_IF_ERROR(CopyAreaFile(AreaFileName(slot.Key), report));
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
  return WriteTemplate(FooterTemplate, "Footer not added due Suffix.Nef missing", report);
}

}  // namespace

os::ErrorCode CreateReport(const ReportJob& job) {
  CORVANE_RETURN_IF_ERROR(WriteText("Creating report..."));
  AreaTable table;
  std::uint32_t left_for_later = 0;
  CORVANE_RETURN_IF_ERROR(CollectNewFiles(job.Mask, &table, &left_for_later));
  CORVANE_RETURN_IF_ERROR(WriteLine(" done."));
  if (left_for_later > 0) {
    Text note = ZeroPadNumber(left_for_later, 1);
    note.Append(" ticket(s) left for a later run: more than 255 areas.");
    CORVANE_RETURN_IF_ERROR(WriteLine(note));
  }
  CORVANE_RETURN_IF_ERROR(WriteLine("Writing..."));

  TextWriter report;
  CORVANE_RETURN_IF_ERROR(OpenReport(job, table, &report));
  std::int64_t total_bytes = 0;
  os::ErrorCode error = WriteReport(table, &report, &total_bytes);
  if (error == os::Ok) error = report.Close();
  // A report cut short goes: the area files, still there, make the next
  // run's report whole. A run that found nothing new leaves no report either.
  if (!report.IsStandardOutput() && (error != os::Ok || total_bytes <= 0)) {
    (void)report.Close();
    const os::ErrorCode removed = os::RemoveFile(job.ReportPath);
    if (error == os::Ok) error = removed;
  }
  CORVANE_RETURN_IF_ERROR(error);
  for (std::size_t number = 1; number <= AreaSlots && table[number].Used; ++number) {
    CORVANE_RETURN_IF_ERROR(os::RemoveFile(AreaFileName(table[number].Key)));
  }
  return WriteLine("Done.");
}

}  // namespace corvane
