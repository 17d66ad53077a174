// Reads arbitrary bytes as an executable file's version resource and looks up
// every standard string; also walks the bytes as a bare version resource.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/PEResources.h"
#include "version/uVersionInformation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  if (auto resource = platform::FindVersionResource(bytes)) {
    // What is found lies inside the input.
    if (resource->data() < bytes.data() || resource->data() + resource->size() > bytes.data() + bytes.size())
      std::abort();
  }

  TVersionInformation info;
  info.LoadVersionInfoFromImage("fuzz.exe", bytes);
  if (info.Loaded && (info.Translation == nullptr || info.Translation + 4 > info.Buffer.data() + info.BufferSize))
    std::abort();
  for (std::size_t i = 0; i < MSResourceNameCount; ++i)
    info.GetVersionString(TVersionInformation::ResourceName(static_cast<tMSResourceNameEnum>(i)));

  // The same bytes as a version resource on their own, as a query sees it.
  platform::IsVersionBlock(bytes);
  platform::QueryVersionBinary(bytes, "\\VarFileInfo\\Translation");
  platform::QueryVersionText(bytes, "\\StringFileInfo\\040904E4\\FileVersion");
  return 0;
}
