#include "report/report_driver.h"

#include "frame/console.h"
#include "frame/paths.h"
#include "frame/run_context.h"
#include "frame/run_stop.h"
#include "frame/text_file.h"
#include "report/area_section_writer.h"
#include "report/area_table.h"
#include "report/report_format.h"

namespace corvane {
namespace {

constexpr std::string_view kHeaderTemplate = "prefix.nef";
constexpr std::string_view kFooterTemplate = "suffix.nef";

// The one of the files this run reads or deletes that path names, if any:
// the database, a template (also one that is missing: the report would
// become the template it reads) or an area file. Writing the report there
// would destroy it.
std::string_view OwnFileAt(std::string_view path, const AreaTable& table, Text* area_file) {
  for (std::string_view name : {Run().DatabaseName.view(), kHeaderTemplate, kFooterTemplate}) {
    if (SameFilePath(path, name)) return name;
  }
  for (std::size_t number = 1; number <= kAreaSlots && table[number].Used; ++number) {
    *area_file = AreaFileName(table[number].Key);
    if (SameFilePath(path, area_file->view())) return area_file->view();
  }
  return {};
}

void OpenReport(const AreaTable& table, TextWriter* report) {
  const std::string_view path = Run().ThirdParam.view();
  if (path.empty()) {
    report->UseStandardOutput();
    return;
  }
  Text area_file;
  bool created = !Run().ThirdParamCut && OwnFileAt(path, table, &area_file).empty() &&
                 report->Create(path) == os::kOk;
  // A new file can still turn out to be a missing template, reached through
  // a link: it is empty yet, so it goes again at once.
  const std::string_view own = created ? OwnFileAt(path, table, &area_file) : std::string_view();
  if (!own.empty()) {
    report->Close();
    CheckIo(os::RemoveFile(own));
    created = false;
  }
  if (!created) {
    WriteLine("Can't create report, using standard output.");
    report->UseStandardOutput();
  }
}

void WriteTemplate(std::string_view name, std::string_view missing, TextWriter* report) {
  TextReader source;
  if (source.Open(name) != os::kOk) {
    WriteLine(missing);
    return;
  }
  while (!source.AtEnd()) report->WriteLine(ExpandTemplateLine(source.ReadLine().view()).view());
  source.Close();
}

void CopyAreaFile(std::string_view name, TextWriter* report) {
  TextReader area_file;
  CheckIo(area_file.Open(name));
  while (!area_file.AtEnd()) report->WriteLine(area_file.ReadLine().view());
  area_file.Close();
  CheckIo(os::RemoveFile(name));
}

Text SubtotalLine(const AreaSlot& slot) {
  Text line(" ");
  line.Append(PadRightAtLeast(ThousandsText(slot.Bytes).view(), 13).view());
  line.Append("bytes in ");
  line.Append(PadRightAtLeast(DecimalText(slot.Files).view(), 4).view());
  line.Append("file(s)");
  return line;
}

}  // namespace

void CreateReport() {
  WriteText("Creating report...");
  AreaTable table;
  const std::uint32_t left_for_later = CollectNewFiles(&table);
  WriteLine(" done.");
  if (left_for_later > 0) {
    Text note = DecimalText(left_for_later);
    note.Append(" ticket(s) left for a later run: more than 255 areas.");
    WriteLine(note.view());
  }
  WriteLine("Writing...");

  TextWriter report;
  OpenReport(table, &report);
  WriteTemplate(kHeaderTemplate, "Header not added due Prefix.Nef missing", &report);

  std::int64_t total_bytes = 0;
  std::int64_t total_files = 0;
  for (std::size_t number = 1; number <= kAreaSlots && table[number].Used; ++number) {
    const AreaSlot& slot = table[number];
    report.WriteLine("");
    CopyAreaFile(AreaFileName(slot.Key).view(), &report);
    report.WriteLine(kSeparatorLine);
    report.WriteLine(SubtotalLine(slot).view());
    total_bytes += slot.Bytes;
    total_files += slot.Files;
  }

  if (total_bytes > 0) {
    Text total(" Total of ");
    total.Append(ThousandsText(total_bytes).view());
    total.Append(" in ");
    total.Append(DecimalText(total_files).view());
    total.Append(" file(s)");
    report.WriteLine("");
    report.WriteLine(total.view());
    report.WriteLine("");
    WriteTemplate(kFooterTemplate, "Footer not added due Suffix.Nef missing", &report);
  }

  report.Close();
  // A run that found nothing new leaves no report behind.
  if (!report.IsStandardOutput() && total_bytes == 0) {
    CheckIo(os::RemoveFile(Run().ThirdParam.view()));
  }
  WriteLine("Done.");
}

}  // namespace corvane
