// .RES bytes: read them, and lay out an image with whatever was read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/PEWriter.h"
#include "common/ResReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    std::vector<tesmar_tools::TResEntry> merged;
    tesmar_tools::MergeResources(merged, tesmar_tools::ParseResFile(bytes));
    tesmar_tools::TPEImageOptions options;
    options.Resources = merged;
    tesmar_tools::TPEImage image = tesmar_tools::BuildPEImage(options);
    if (image.Bytes.size() % tesmar_tools::PEFileAlignment != 0) __builtin_trap();
  } catch (const tesmar_tools::TResFileError&) {
  } catch (const tesmar_tools::TPEWriteError&) {
  }
  return 0;
}
