#include "platform/PEResources.h"

#include "platform/TextFile.h"
#include "support/ToolsTest.h"

using namespace platform;

namespace {

std::string Fixture(const std::string& name) {
  return ReadFileBytes(VersionFixture(name));
}

void Pad4(std::string& s) {
  s.resize((s.size() + 3) & ~std::size_t{3}, '\0');
}

// One version block: header, zero-terminated key, value, children, each on a
// 4-byte boundary. wLength counts everything but the last child's padding.
std::string Block(const std::string& key, const std::string& value, unsigned valueLength, unsigned type,
                  const std::vector<std::string>& children = {}) {
  std::string b = "......" + Utf16(key) + Le16(0);
  Pad4(b);
  b += value;
  for (const std::string& child : children) {
    Pad4(b);
    b += child;
  }
  b.replace(0, 6, Le16(static_cast<unsigned>(b.size())) + Le16(valueLength) + Le16(type));
  return b;
}

std::string Text(const std::string& key, const std::string& text) {
  return Block(key, Utf16(text) + Le16(0), static_cast<unsigned>(text.size() + 1), 1);
}

std::string Root(const std::vector<std::string>& tables) {
  return Block("VS_VERSION_INFO", "", 0, 0,
               {Block("StringFileInfo", "", 0, 1, tables),
                Block("VarFileInfo", "", 0, 1, {Block("Translation", "\x09\x04\xE4\x04", 4, 0)})});
}

}  // namespace

TEST(PEResources, FindsResourcesOfPE32AndPE32PlusAndNothingElsewhere) {
  // The same script in both: the same resource, found through different headers.
  const std::string pe32 = Fixture("full.exe"), pe64 = Fixture("full64.exe");
  auto a = FindVersionResource(pe32), b = FindVersionResource(pe64);
  ASSERT_TRUE(a && b && *a == *b);
  EXPECT_TRUE(IsVersionBlock(*a));

  const auto fixed = QueryVersionBinary(*a, "\\");
  ASSERT_TRUE(fixed && fixed->size() == 52u);
  EXPECT_EQ(fixed->substr(0, 4), std::string_view("\xBD\x04\xEF\xFE", 4));
  EXPECT_EQ(QueryVersionText(*a, "\\stringfileinfo\\040904e4\\FILEVERSION"), "1.2.3.4");
  EXPECT_FALSE(QueryVersionText(*a, "\\StringFileInfo\\04090000\\FileVersion"));

  const std::string other = Fixture("otherres.exe");
  EXPECT_FALSE(FindVersionResource(other));
  auto data = FindResourceData(other, 10);  // the script's RCDATA
  ASSERT_TRUE(data);
  EXPECT_EQ(data->substr(0, 22), "not a version resource");

  for (const std::string& none : {Fixture("norsrc.exe"), std::string(), std::string("MZ"), std::string("a\r\nb\r\n")})
    EXPECT_FALSE(FindVersionResource(none));
}

TEST(PEResources, DataEntryBeyondItsSectionIsNotFound) {
  std::string image = Fixture("full.exe");
  auto resource = FindVersionResource(image);
  ASSERT_TRUE(resource);
  const std::string size = Le16(static_cast<unsigned>(resource->size()));
  // The data entry (RVA, Size) sits right before the data in this layout.
  const std::size_t at = static_cast<std::size_t>(resource->data() - image.data()) - 16 + 4;
  ASSERT_EQ(image.substr(at, 2), size);
  image[at + 2] = '\x7F';  // Size of about 8 MB in a file of a few KB
  EXPECT_FALSE(FindVersionResource(image));
}

TEST(VersionBlocks, ValueLengthsInBytesOrMissingZerosStayInsideTheBlock) {
  // Some writers count a string's bytes instead of its characters; the value
  // ends at its zero either way.
  const std::string bytesCounted = Block("FileVersion", Utf16("1.0") + Le16(0), 8, 1);
  // A value without its zero ends with its block.
  const std::string unterminated = Block("ProductName", Utf16("Tool"), 4, 1);
  const std::string root = Root({Block("040904E4", "", 0, 1, {bytesCounted, unterminated, Text("Comments", "")})});
  ASSERT_TRUE(IsVersionBlock(root));
  EXPECT_EQ(QueryVersionText(root, "\\StringFileInfo\\040904E4\\FileVersion"), "1.0");
  EXPECT_EQ(QueryVersionText(root, "\\StringFileInfo\\040904E4\\ProductName"), "Tool");
  EXPECT_EQ(QueryVersionText(root, "\\StringFileInfo\\040904E4\\Comments"), "");
  // Names without regard to case; a name is matched whole.
  EXPECT_EQ(QueryVersionText(root, "\\stringfileinfo\\040904e4\\FILEVERSION"), "1.0");
  EXPECT_FALSE(QueryVersionText(root, "\\StringFileInfo\\040904E4\\FileVersio"));
  EXPECT_FALSE(QueryVersionText(root, "\\StringFileInfo\\040904E4\\FileVersions"));
  EXPECT_EQ(QueryVersionBinary(root, "\\VarFileInfo\\Translation"), std::string_view("\x09\x04\xE4\x04", 4));
}

TEST(VersionBlocks, LyingLengthsNeitherOverrunNorHang) {
  const std::string root = Root({Block("040904E4", "", 0, 1, {Text("FileVersion", "9.9")})});
  const std::size_t table = root.find(Utf16("040904E4")) - 6;
  const std::size_t string = root.find(Utf16("FileVersion")) - 6;
  // The block with the length word at a place replaced.
  const auto lying = [&](std::size_t at, std::size_t length) {
    return root.substr(0, at) + Le16(static_cast<unsigned>(length)) + root.substr(at + 2);
  };
  const std::string path = "\\StringFileInfo\\040904E4\\FileVersion";
  EXPECT_EQ(QueryVersionText(lying(string, 0xFFF0), path), "9.9");  // far more than its table holds
  EXPECT_FALSE(QueryVersionText(lying(string, 0), path));           // a child of length 0 would loop forever if trusted
  EXPECT_FALSE(QueryVersionText(lying(table, string - table + 10), path));  // the table ends inside its child's key
  // A root of length 2 is no block at all; a root cut in its key neither.
  EXPECT_FALSE(IsVersionBlock(lying(0, 2)));
  EXPECT_FALSE(QueryVersionBinary(lying(0, 2), "\\VarFileInfo\\Translation"));
  EXPECT_FALSE(IsVersionBlock(root.substr(0, 20)));
  EXPECT_FALSE(IsVersionBlock(Block("VS_VERSION_INFX", "", 0, 0)));
}

TEST(VersionBlocks, Utf16ToUtf8) {
  EXPECT_EQ(Utf16LeToUtf8(Utf16("abc")), "abc");
  EXPECT_EQ(Utf16LeToUtf8(std::string("a\0\0\0b\0", 6)), "a");                           // stops at the zero
  EXPECT_EQ(Utf16LeToUtf8(std::string("\xAC\x20\xE9\x00", 4)), "\xE2\x82\xAC\xC3\xA9");  // euro sign, e acute
  EXPECT_EQ(Utf16LeToUtf8(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");      // a surrogate pair
  EXPECT_EQ(Utf16LeToUtf8(std::string("\x3D\xD8x\x00", 4)), "\xEF\xBF\xBDx");            // a lone surrogate
  EXPECT_EQ(Utf16LeToUtf8(std::string("a\0b", 3)), "a");                                 // an odd last byte
}
