// nolvo list PATH [--json]: the archives of install media or of one archive file, with
// every entry's stored information.

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "archive/media/medium_list.h"
#include "cli/archive_text.h"
#include "cli/command.h"
#include "cli/media_errors.h"
#include "util/shown_text.h"

namespace nolvo::cli {

namespace {

struct ListOptions {
  std::string path;
  bool json = false;
};

nlohmann::json EntryJson(const container::TListedEntry& e, const platform::CodePage& cp) {
  const auto& i = e.Info;
  nlohmann::json method = MethodName(i.Method);
  if (method.get<std::string>().rfind("co", 0) != 0) method = static_cast<unsigned>(i.Method);
  return {{"Name", util::ShownName(e.Name, cp)},
          {"FileDate", i.FileDate},
          {"Date", DosStampIso(i.FileDate)},
          {"Attributes", i.Attributes},
          {"OriginalSize", i.OriginalSize},
          {"CompressedSize", i.CompressedSize},
          {"Method", method},
          {"Checksum", i.Checksum},
          {"EntryPosition", i.EntryPosition},
          {"Locked", i.Locked}};
}

nlohmann::json FindingJson(const stage::MediaFinding& f, const platform::CodePage& cp) {
  static const char* const kLevels[] = {"note", "warning", "error", "fatal"};
  return {{"Level", kLevels[static_cast<int>(f.Level)]},
          {"Segment", util::ShownName(f.Segment, cp)},
          {"Archive", f.Archive},
          {"Entry", f.Entry},
          {"Name", util::ShownName(f.Name, cp)},
          {"Message", stage::Describe(f, cp)}};
}

void PrintArchive(const media::MediaArchive& a, const container::TCompressedFileList& entries,
                  bool segmented, const platform::CodePage& cp) {
  if (segmented)
    fmt::print("Archive {}: template \"{}\", target \"{}\", flags {}\n", a.Index,
               util::ShownName(a.Template, cp), util::ShownName(a.TargetDir, cp), a.ArcFlags);
  else
    fmt::print("Archive\n");
  fmt::print("  {:>10} {:>10} {:<8} {:<19} {:<5} {:>8} {:<6} {}\n", "Original", "Stored", "Method",
             "Date", "Attr", "Checksum", "Locked", "Name");
  std::int64_t original = 0, stored = 0;
  for (const auto& e : entries) {
    const auto& i = e.Info;
    fmt::print("  {:>10} {:>10} {:<8} {:<19} {:<5} {:08X} {:<6} {}\n", i.OriginalSize,
               i.CompressedSize, MethodName(i.Method), DosStampIso(i.FileDate),
               AttributeLetters(i.Attributes), i.Checksum, i.Locked ? "yes" : "no",
               util::ShownName(e.Name, cp));
    original += i.OriginalSize;
    stored += i.CompressedSize;
  }
  fmt::print("  {:>10} {:>10} {} entr{}\n\n", original, stored, entries.size(),
             entries.size() == 1 ? "y" : "ies");
}

}  // namespace

CommandRegistration RegisterList(CLI::App& app, const GlobalOptions& global) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* sub = app.add_subcommand("list", "List the archives and entries of install media");
  AddMediaPathOption(sub, options->path);
  sub->add_flag("--json", options->json, "Print one JSON object");
  sub->footer(std::string("Warns about what the outcome table in the README names for a listing\n"
                          "(list names that match no entry, entries past the archive's total,\n"
                          "names that flatten to one, damaged digest lists); nothing is checked.\n"
                          "Names from the media show control characters as \\xNN.\n\n") +
              kExitCodeHelp);
  auto run = [options, &global]() -> int {
    return RunMediaCommand("list", [&]() -> int {
      const media::MediaLocation location = media::LocateMedia(options->path);
      const platform::CodePage cp = platform::CodePage::FromEnvironment();
      MediaProgressBar bar(global.quiet, "Reading");
      nlohmann::json archives = nlohmann::json::array();
      nlohmann::json findings = nlohmann::json::array();
      media::ListEvents events;
      events.OnFinding = [&](const stage::MediaFinding& f) {
        bar.Clear();
        PrintFinding("list", f, cp, global.quiet);
        findings.push_back(FindingJson(f, cp));
      };
      events.OnArchive = [&](const media::MediaArchive& a,
                             const container::TCompressedFileList& entries) {
        bar.Clear();
        if (options->json) {
          nlohmann::json list = nlohmann::json::array();
          for (const auto& e : entries) list.push_back(EntryJson(e, cp));
          archives.push_back({{"Index", a.Index},
                              {"Template", util::ShownName(a.Template, cp)},
                              {"TargetDir", util::ShownName(a.TargetDir, cp)},
                              {"ArcFlags", a.ArcFlags},
                              {"Entries", list}});
        } else if (!global.quiet) {
          PrintArchive(a, entries, location.Segmented, cp);
        }
      };
      stage::MediaReport report;
      media::ListMedium(location, events, report);
      bar.Clear();
      if (options->json)
        fmt::print("{}\n", nlohmann::json{{"Archives", archives}, {"Findings", findings}}.dump(2));
      return kExitOk;
    });
  };
  return {sub, run};
}

}  // namespace nolvo::cli
