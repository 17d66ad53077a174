#include "dcc32/DccCompiler.h"

#include "dcc32/DccRun.h"

namespace tesmar_tools {

std::string DccBanner() {
  return "Tesmar Pascal Compiler stand-in  Version 1.0\n"
         "Copyright (c) the Tesmar project; checks units, links resources\n";
}

int RunDcc(const std::vector<std::string>& args, std::ostream& out) {
  TDccRun run(out);
  return run.Run(args);
}

}  // namespace tesmar_tools
