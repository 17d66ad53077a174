#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Resources of Windows executables (PE32 and PE32+), read from the bytes of the
// file on every system, and the version resource's tree of named values.
//
// Everything here reads outside data: no size or offset in the file is
// trusted, each one is checked against the bytes at hand before use. A file
// that is not what it should be gives "nothing found", never a crash.
namespace platform {

// The numbered resource type of version information.
inline constexpr std::uint16_t ResourceTypeVersion = 16;

// The data of the first resource of a numbered type in an executable image (the
// first name of that type, its first language), as a view into image. Nothing
// when the image is no PE file, has no resources, none of that type, or when any
// structure on the way lies outside the image.
std::optional<std::string_view> FindResourceData(std::string_view image, std::uint16_t type);

// Reads up to length bytes of an image from offset at on (fewer where the
// image ends).
using TImageReadAt = std::function<std::string(std::uint64_t at, std::size_t length)>;

// FindResourceData for an image too large to hold: only the few bytes of its
// headers and resource directory on the way are read, then the data itself.
// Nothing also when the data is larger than maxSize.
std::optional<std::string> ReadResourceData(std::uint64_t imageSize, const TImageReadAt& readAt, std::uint16_t type,
                                            std::uint64_t maxSize);

// The version resource of an executable image: FindResourceData of
// ResourceTypeVersion.
std::optional<std::string_view> FindVersionResource(std::string_view image);

// Whether a version resource has a usable root: a VS_VERSION_INFO block whose
// header and key lie inside the data.
bool IsVersionBlock(std::string_view block);

// A value of a version resource by its path, the way the Windows version query
// names it: "\" is the root's value (the fixed file information),
// "\VarFileInfo\Translation" the translation table,
// "\StringFileInfo\040904E4\FileVersion" a string. Names match without regard to
// case, as on Windows.
//
// QueryVersionBinary gives the value's bytes as its header counts them, cut at
// the end of its block. Nothing when the path leads nowhere.
std::optional<std::string_view> QueryVersionBinary(std::string_view block, std::string_view path);
// QueryVersionText gives a text value as UTF-8: the UTF-16 characters up to the
// terminating zero (or the end of the value's block). The value's own length
// field is not relied on, since some writers count bytes where others count
// characters.
std::optional<std::string> QueryVersionText(std::string_view block, std::string_view path);

// UTF-16 (little-endian) bytes as UTF-8, up to the first zero character or the
// end; an odd last byte is ignored and a lone surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

}  // namespace platform
