#include "cli/JUnitReport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/TestDir.h"

namespace {

// Reports are checked as XML: validated against the JUnit schema by xmllint,
// then read back through XPath, which undoes every escape.
class JUnitReportTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
#ifdef _WIN32
    GTEST_SKIP() << "xmllint belongs to the build machine and does not run beside a Windows program";
#endif
  }
  void Validate(const std::string& file) {
    const TCommandResult result =
        RunShellCommand("xmllint --noout --schema '" + TestDataDir() + "/junit/junit.xsd' '" + file + "'");
    EXPECT_EQ(result.Status, 0) << result.Output << ReadBytes(file);
  }
  std::string XPath(const std::string& file, const std::string& expression) {
    const TCommandResult result = RunShellCommand("xmllint --xpath '" + expression + "' '" + file + "'");
    EXPECT_EQ(result.Status, 0) << expression << ": " << result.Output;
    std::string value = result.Output;
    if (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }
};

TDiagnostic Diagnostic(const std::string& raw) {
  auto parsed = ParseDiagnostic(raw);
  EXPECT_TRUE(parsed) << raw;
  return parsed.value_or(TDiagnostic{});
}

TEntryReport Entry(const std::string& source, bool ok, const std::string& lastLine,
                   const std::vector<std::string>& messages) {
  TEntryReport entry;
  entry.Source = source;
  entry.Target = "/p/Proj/out/x.exe";
  entry.OK = ok;
  entry.Seconds = 0.25;
  entry.LastLine = lastLine;
  for (const std::string& m : messages) entry.Diagnostics.push_back(Diagnostic(m));
  return entry;
}

TRunReport RunOf(std::vector<TEntryReport> entries) {
  TRunReport report;
  report.ProjectDir = "/p/Proj";
  report.ProjectName = "Proj";
  report.Loaded = report.Completed = true;
  report.Entries = std::move(entries);
  report.Planned = static_cast<int>(report.Entries.size());
  report.FinalLine = "Final result is ...";
  return report;
}

struct TCase {
  const char* Name;
  TRunReport Report;
  std::vector<std::pair<std::string, std::string>> Expect;  // XPath expression, its string value
};

TEST_F(JUnitReportTest, EveryKindOfRunIsAValidReportThatReadsBack) {
  const std::string failedText = "App.dpr(9) Error: E2003 Undeclared identifier: 'Y'\nFatal: F1027 Unit not found: 'Z'";
  TRunReport stopped =
      RunOf({Entry("/p/Proj/src/Bad.dpr", false, "Bad.dpr(3) Error: broken", {"Bad.dpr(3) Error: broken"})});
  stopped.Stopped = true;
  stopped.Planned = 3;
  stopped.NotReached = {{"/p/Proj/src/Tool.dpr", "/p/Proj/out/Tool.exe"}, {"/elsewhere/Lib.dpr", "/p/Lib.dll"}};
  TRunReport notLoaded;
  notLoaded.ProjectDir = "/p/Gone";
  notLoaded.ProjectName = "Gone";
  notLoaded.Halts = {"Could not set up storage area for /p/Gone: no access"};
  TRunReport failedRun = RunOf({Entry("/p/Proj/App.dpr", true, "10 lines", {})});
  failedRun.Completed = false;
  failedRun.Halts = {"Exception thrown in Tesmar: disk full"};
  const std::string foreign = "Bad.dpr(1) Fatal: Datei 'M\xFCller.pas' <&> \"fehlt\"\x01\r";

  const TCase cases[] = {
      {"all built",
       RunOf({Entry("/p/Proj/src/App.dpr", true, "120 lines, 0.1 seconds", {"App.dpr(3) Hint: mind this"}),
              Entry("/p/Proj/Tool.dpr", true, "20 lines, 0.1 seconds", {})}),
       {{"string(/testsuites/@tests)", "2"},
        {"string(/testsuites/@failures)", "0"},
        {"string(/testsuites/testsuite/@name)", "Proj"},
        {"string(//property[@name=\"project.directory\"]/@value)", "/p/Proj"},
        {"string(//testcase[1]/@name)", "src/App.dpr"},
        {"string(//testcase[1]/@classname)", "Proj"},
        {"string(//testcase[1]/@time)", "0.250"},
        {"string(//testcase[1]/system-out)", "App.dpr(3) Hint: mind this"},
        {"string(//testcase[2]/@name)", "Tool.dpr"},
        {"count(//testcase[2]/*)", "0"},
        {"string(/testsuites/testsuite/@time)", "0.500"}}},
      {"a failed entry",
       RunOf({Entry("/p/Proj/App.dpr", false, "Fatal: F1027 Unit not found: 'Z'",
                    {"Unit1.pas(8) Warning: W1000 old", "App.dpr(9) Error: E2003 Undeclared identifier: 'Y'",
                     "Fatal: F1027 Unit not found: 'Z'"})}),
       {{"string(/testsuites/testsuite/@failures)", "1"},
        {"string(//testcase/failure/@message)", "Fatal: F1027 Unit not found: 'Z'"},
        {"string(//testcase/failure/@type)", "ERR"},
        {"string(//testcase/failure)", failedText},
        {"string(//testcase/system-out)", "Unit1.pas(8) Warning: W1000 old"}}},
      {"a stopped run",
       stopped,
       {{"string(/testsuites/testsuite/@tests)", "3"},
        {"string(/testsuites/testsuite/@failures)", "1"},
        {"string(/testsuites/testsuite/@skipped)", "2"},
        {"string(//testcase[2]/@name)", "src/Tool.dpr"},
        {"string(//testcase[3]/@name)", "/elsewhere/Lib.dpr"},
        {"count(//testcase/skipped)", "2"}}},
      {"a project that could not be loaded",
       notLoaded,
       {{"string(/testsuites/testsuite/@errors)", "1"},
        {"string(//testcase/@name)", "load"},
        {"string(//testcase/error/@message)", "the project could not be loaded"},
        {"string(//testcase/error)", "Could not set up storage area for /p/Gone: no access"}}},
      {"a run ended by a failure",
       failedRun,
       {{"string(/testsuites/testsuite/@tests)", "2"},
        {"string(/testsuites/testsuite/@errors)", "1"},
        {"string(//testcase[2]/@name)", "run"},
        {"string(//testcase[2]/error)", "Exception thrown in Tesmar: disk full"}}},
      {"foreign bytes, control characters and markup",
       RunOf({Entry("/p/Proj/A&B <1>.dpr", false, foreign, {foreign})}),
       {{"string(//testcase/@name)", "A&B <1>.dpr"},
        {"string(//testcase/failure/@message)",
         "Bad.dpr(1) Fatal: Datei 'M\xEF\xBF\xBDller.pas' <&> \"fehlt\"\xEF\xBF\xBD\r"},
        {"string(//testcase/failure)", "Bad.dpr(1) Fatal: Datei 'M\xEF\xBF\xBDller.pas' <&> \"fehlt\"\xEF\xBF\xBD"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = Path("report.xml");
    WriteBytes(file, ReportJUnit(c.Report));
    Validate(file);
    for (const auto& [expression, expected] : c.Expect) EXPECT_EQ(XPath(file, expression), expected) << expression;
  }
}

}  // namespace
