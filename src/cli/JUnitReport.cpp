#include "cli/JUnitReport.h"

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence at text[i] and its code point; 0 when the
// bytes there are not a well-formed sequence.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char b0 = byte(0);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, cp = b0 & 0x1F, minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, cp = b0 & 0x0F, minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, cp = b0 & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (byte(k) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

bool IsXmlChar(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         cp >= 0x10000;
}

// Text escaped for element content or (inAttribute) a double-quoted
// attribute, whose line ends and tabs would otherwise be normalised away.
std::string Escape(std::string_view text, bool inAttribute) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    const std::size_t length = DecodeUtf8(text, i, cp);
    if (length == 0 || !IsXmlChar(cp)) {
      out += Replacement;
      i += length == 0 ? 1 : length;
      continue;
    }
    switch (cp) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += inAttribute ? "&quot;" : "\"";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\n':
        out += inAttribute ? "&#10;" : "\n";
        break;
      case '\t':
        out += inAttribute ? "&#9;" : "\t";
        break;
      default:
        out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

std::string Attr(std::string_view name, std::string_view value) {
  return " " + std::string(name) + "=\"" + Escape(value, true) + "\"";
}

std::string Seconds(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", seconds < 0 ? 0.0 : seconds);
  return buffer;
}

struct TCase {
  std::string Name;
  double Time = 0;
  std::string Body;  // the elements inside the test case
};

std::string Element(std::string_view name, std::string_view attributes, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  if (text.empty()) return "      <" + std::string(name) + std::string(attributes) + "/>\n";
  return "      <" + std::string(name) + std::string(attributes) + ">" + Escape(text, false) + "</" +
         std::string(name) + ">\n";
}

// The source as the test case's name: relative to the project directory when
// it lies inside it.
std::string CaseName(const std::string& source, const std::string& projectDir) {
  const std::string prefix = platform::IncludeTrailingPathDelimiter(projectDir);
  if (!projectDir.empty() && source.size() > prefix.size() && source.compare(0, prefix.size(), prefix) == 0)
    return source.substr(prefix.size());
  return source;
}

}  // namespace

std::string ReportJUnit(const TRunReport& report) {
  std::vector<TCase> cases;
  int failures = 0, errors = 0, skipped = 0;
  double total = 0;
  if (!report.Loaded) {
    ++errors;
    cases.push_back({"load", 0, Element("error", Attr("message", "the project could not be loaded"), report.Halts)});
  }
  for (const TEntryReport& entry : report.Entries) {
    TCase c{CaseName(entry.Source, report.ProjectDir), entry.Seconds, {}};
    std::vector<std::string> bad, notes;
    for (const TDiagnostic& d : entry.Diagnostics)
      (d.Kind == "Error" || d.Kind == "Fatal" ? bad : notes).push_back(d.Raw);
    if (!entry.OK) {
      ++failures;
      c.Body += Element("failure", Attr("message", entry.LastLine) + Attr("type", "ERR"), bad);
    }
    if (!notes.empty()) c.Body += Element("system-out", "", notes);
    total += entry.Seconds;
    cases.push_back(std::move(c));
  }
  for (const TPlannedEntry& entry : report.NotReached) {
    ++skipped;
    cases.push_back({CaseName(entry.Source, report.ProjectDir), 0,
                     Element("skipped", Attr("message", "not built: the run was stopped before this entry"), {})});
  }
  if (report.Loaded && !report.Completed) {
    ++errors;
    cases.push_back(
        {"run", 0,
         Element("error", Attr("message", "the run ended by a failure; no logs were written"), report.Halts)});
  }

  const std::string counts = Attr("tests", std::to_string(cases.size())) + Attr("failures", std::to_string(failures)) +
                             Attr("errors", std::to_string(errors)) + Attr("skipped", std::to_string(skipped)) +
                             Attr("time", Seconds(total));
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  xml += "<testsuites" + Attr("name", "tesmar-build") + counts + ">\n";
  xml += "  <testsuite" + Attr("name", report.ProjectName) + counts + ">\n";
  xml += "    <properties>\n";
  xml += "      <property" + Attr("name", "project.directory") + Attr("value", report.ProjectDir) + "/>\n";
  xml += "      <property" + Attr("name", "final_line") + Attr("value", report.FinalLine) + "/>\n";
  xml += "    </properties>\n";
  for (const TCase& c : cases) {
    xml +=
        "    <testcase" + Attr("name", c.Name) + Attr("classname", report.ProjectName) + Attr("time", Seconds(c.Time));
    xml += c.Body.empty() ? "/>\n" : ">\n" + c.Body + "    </testcase>\n";
  }
  xml += "  </testsuite>\n</testsuites>\n";
  return xml;
}
