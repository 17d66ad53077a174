#include "version/ProgramVersion.h"

#include "TesmarVersionInfo.h"

std::string ProgramVersion() {
  return TESMAR_VERSION;
}

std::vector<TVersionString> ProgramVersionStrings(TTesmarProgram program) {
  return ProgramVersionStrings(program, TESMAR_EXECUTABLE_SUFFIX);
}

std::vector<TVersionString> ProgramVersionStrings(TTesmarProgram program, std::string_view executableSuffix) {
  const bool window = program == tpWindow;
  const std::string internalName = window ? "tesmar" : "tesmar-build";
  std::vector<TVersionString> strings;
  strings.reserve(MSResourceNameCount);
  for (std::size_t i = 0; i < MSResourceNameCount; ++i) {
    const auto member = static_cast<tMSResourceNameEnum>(i);
    std::string value;
    switch (member) {
      case msFileVersion:
        value = TESMAR_FILE_VERSION;
        break;
      case msProductVersion:
        value = TESMAR_PRODUCT_VERSION;
        break;
      case msFileDescription:
        value = window ? TESMAR_DESCRIPTION_WINDOW : TESMAR_DESCRIPTION_COMMAND_LINE;
        break;
      case msCompanyName:
        value = TESMAR_COMPANY_NAME;
        break;
      case msComments:
        value = TESMAR_COMMENTS;
        break;
      case msInternalName:
        value = internalName;
        break;
      case msLegalCopyright:
        value = TESMAR_LEGAL_COPYRIGHT;
        break;
      case msLegalTrademarks:
        value = TESMAR_LEGAL_TRADEMARKS;
        break;
      case msProductName:
        value = TESMAR_PRODUCT_NAME;
        break;
      case msOriginalFilename:
        value = internalName + std::string(executableSuffix);
        break;
    }
    strings.push_back({TVersionInformation::ResourceName(member), value});
  }
  return strings;
}
