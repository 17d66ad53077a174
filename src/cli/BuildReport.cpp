#include "cli/BuildReport.h"

#include <nlohmann/json.hpp>

#include "platform/FileSystem.h"

std::string ProgressLine(int number, int count, const TEntryReport& entry) {
  std::string line = "[" + std::to_string(number) + "/" + std::to_string(count) + "] " +
                     platform::ExtractFileName(entry.Source) + " -> " + platform::ExtractFileName(entry.Target) + ": " +
                     (entry.OK ? "OK" : "ERR") +
                     (entry.OK && entry.VersionStamped == false ? ", version not stamped" : "") + ", " +
                     std::to_string(entry.Lines) + " lines, " + std::to_string(entry.Hints) + " hints, " +
                     std::to_string(entry.Warnings) + " warnings, " + std::to_string(entry.Errors) + " errors";
  if (entry.Fatal != 0) line += ", " + std::to_string(entry.Fatal) + " fatal";
  if (entry.FailedProcessingLines != 0)
    line += ", " + std::to_string(entry.FailedProcessingLines) +
            (entry.FailedProcessingLines == 1 ? " processing line failed" : " processing lines failed");
  return line;
}

std::string ReportJson(const TRunReport& report) {
  using json = nlohmann::ordered_json;  // keys in the order written
  json entries = json::array();
  for (const TEntryReport& e : report.Entries) {
    json diagnostics = json::array();
    for (const TDiagnostic& d : e.Diagnostics) {
      auto orNull = [](const std::string& text) { return text.empty() ? json() : json(text); };
      diagnostics.push_back({{"kind", d.Kind},
                             {"file", orNull(d.File)},
                             {"line", d.File.empty() ? json() : json(d.Line)},
                             {"code", orNull(d.Code)},
                             {"text", d.Text}});
    }
    entries.push_back({{"source", e.Source},
                       {"target", e.Target},
                       {"result", e.OK ? "OK" : "ERR"},
                       {"lines", e.Lines},
                       {"hints", e.Hints},
                       {"warnings", e.Warnings},
                       {"errors", e.Errors},
                       {"fatal", e.Fatal},
                       {"seconds", e.Seconds},
                       {"last_line", e.LastLine},
                       {"diagnostics", diagnostics},
                       {"version_stamped", e.VersionStamped ? json(*e.VersionStamped) : json(nullptr)},
                       {"processing_lines_failed", e.FailedProcessingLines},
                       {"notes", e.Notes}});
  }
  json logs = json::object();
  for (const auto& [kind, path] : report.Logs) logs[kind] = path;
  const json root = {{"project", {{"directory", report.ProjectDir}, {"name", report.ProjectName}}},
                     {"loaded", report.Loaded},
                     {"completed", report.Completed},
                     {"stopped", report.Stopped},
                     {"interrupted", report.Interrupted.empty() ? json(nullptr) : json(report.Interrupted)},
                     {"planned", report.Planned},
                     {"entries", entries},
                     {"totals",
                      {{"ok", report.OK},
                       {"err", report.Err},
                       {"lines", report.Lines},
                       {"hints", report.Hints},
                       {"warnings", report.Warnings},
                       {"errors", report.Errors},
                       {"fatal", report.Fatal}}},
                     {"halts", report.Halts},
                     {"logs", logs},
                     {"final_line", report.FinalLine},
                     {"exit_status", report.ExitStatus}};
  return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
