#include "brcc32/RcParser.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

#include "brcc32/RcError.h"
#include "brcc32/RcExpr.h"
#include "brcc32/RcIcon.h"
#include "brcc32/RcLexer.h"
#include "brcc32/RcVersionInfo.h"

namespace tesmar_brcc {

using namespace tesmar_res;

namespace {

constexpr int kMaxBlockDepth = 16;
constexpr uint16_t kDefaultFlags = MEMFLAG_MOVEABLE | MEMFLAG_PURE;
constexpr uint16_t kIconImageFlags = MEMFLAG_MOVEABLE | MEMFLAG_DISCARDABLE;
constexpr uint16_t kIconGroupFlags = MEMFLAG_MOVEABLE | MEMFLAG_PURE | MEMFLAG_DISCARDABLE;

// Memory flags as written, applied in order to a resource's default flags.
struct TMemFlags {
  uint16_t Set = 0;
  uint16_t Clear = 0;
  uint16_t Apply(uint16_t defaults) const { return static_cast<uint16_t>((defaults & ~Clear) | Set); }
};

// LANGUAGE, CHARACTERISTICS and VERSION inside a resource statement.
struct TResOptions {
  uint16_t Language;
  uint32_t Characteristics = 0;
  uint32_t Version = 0;
};

std::u16string CutAtNul(std::u16string text) {
  const auto nul = text.find(u'\0');
  if (nul != std::u16string::npos) text.resize(nul);
  return text;
}

bool IsOpen(const TToken& t) {
  return t.Is("{") || t.IsWord("BEGIN");
}
bool IsClose(const TToken& t) {
  return t.Is("}") || t.IsWord("END");
}

class TRcParser {
 public:
  TRcParser(const std::string& text, const std::string& fileName, const TRcOptions& options, const TFileLoader& loader)
      : Lex(text, fileName, Syms, options.CodePage),
        CodePage(options.CodePage),
        Language(options.Language),
        Loader(loader) {
    for (const auto& [name, symbol] : options.Defines) Syms.Define(name, symbol);
  }

  TRcScript Run() {
    while (Lex.Peek().Kind != TTokKind::End) Statement();
    EmitStringTables();
    Result.Lines = Lex.LineCount();
    return std::move(Result);
  }

 private:
  // ---- small pieces -------------------------------------------------------

  std::u16string TextOf(const TToken& t) const { return t.IsWide ? t.Wide : ToUtf16(t.Text, CodePage); }

  TToken ExpectString(const std::string& what) {
    TToken t = Lex.Next();
    if (t.Kind != TTokKind::String) Lex.Fail(t, what + " expected");
    return t;
  }

  void ExpectOpen() {
    const TToken t = Lex.Next();
    if (!IsOpen(t)) Lex.Fail(t, "'{' or BEGIN expected");
  }

  uint32_t Number() { return ParseExpression(Lex).Value; }

  TMemFlags MemoryFlags() {
    TMemFlags f;
    for (;;) {
      const TToken& t = Lex.Peek();
      uint16_t on = 0, off = 0;
      if (t.IsWord("MOVEABLE"))
        on = MEMFLAG_MOVEABLE;
      else if (t.IsWord("FIXED"))
        off = MEMFLAG_MOVEABLE;
      else if (t.IsWord("PURE"))
        on = MEMFLAG_PURE;
      else if (t.IsWord("IMPURE"))
        off = MEMFLAG_PURE;
      else if (t.IsWord("PRELOAD"))
        on = MEMFLAG_PRELOAD;
      else if (t.IsWord("LOADONCALL"))
        off = MEMFLAG_PRELOAD;
      else if (t.IsWord("DISCARDABLE"))
        on = MEMFLAG_DISCARDABLE;
      else
        return f;
      Lex.Next();
      f.Set = static_cast<uint16_t>((f.Set | on) & ~off);
      f.Clear = static_cast<uint16_t>((f.Clear | off) & ~on);
    }
  }

  uint16_t LanguageStatement() {
    const uint32_t primary = Number();
    const TToken comma = Lex.Next();
    if (!comma.Is(",")) Lex.Fail(comma, "',' expected between language and sublanguage");
    const uint32_t sub = Number();
    return static_cast<uint16_t>(((sub << 10) | (primary & 0x3FF)) & 0xFFFF);
  }

  // Returns true when the token started an optional statement, which it reads.
  bool OptionalStatement(TResOptions& o) {
    const TToken& t = Lex.Peek();
    if (t.IsWord("LANGUAGE")) {
      Lex.Next();
      o.Language = LanguageStatement();
    } else if (t.IsWord("CHARACTERISTICS")) {
      Lex.Next();
      o.Characteristics = Number();
    } else if (t.IsWord("VERSION")) {
      Lex.Next();
      o.Version = Number();
    } else {
      return false;
    }
    return true;
  }

  TResOptions OptionalStatements() {
    TResOptions o{Language};
    while (OptionalStatement(o)) {
    }
    return o;
  }

  TResId IdOf(const TToken& t, const char* what) {
    if (t.Kind == TTokKind::Number) {
      if (t.Value > 0xFFFF) Lex.Fail(t, std::string(what) + " number " + t.Text + " is larger than 65535");
      return TResId::FromOrdinal(static_cast<uint16_t>(t.Value));
    }
    if (t.Kind == TTokKind::Name) {
      const TRcSymbol* s = Syms.Find(t.Text);
      if (s && s->HasValue && s->Value <= 0xFFFF) return TResId::FromOrdinal(static_cast<uint16_t>(s->Value));
      return TResId::FromName(ToUtf16(UpperAscii(t.Text), CodePage));
    }
    if (t.Kind == TTokKind::String) {
      std::u16string name = CutAtNul(t.IsWide ? t.Wide : ToUtf16(UpperAscii(t.Text), CodePage));
      for (char16_t& c : name)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      if (name.empty()) Lex.Fail(t, std::string(what) + " must not be empty");
      return TResId::FromName(std::move(name));
    }
    Lex.Fail(t, std::string(what) + " expected");
  }

  static std::string KeyOf(const TResId& id) {
    if (id.IsOrdinal) return "#" + std::to_string(id.Ordinal);
    std::string key = "$";
    for (char16_t c : id.Name) key += std::to_string(static_cast<unsigned>(c)) + ",";
    return key;
  }

  void Add(TResEntry entry, const TToken& at) {
    const std::string key = KeyOf(entry.Type) + "/" + KeyOf(entry.Name) + "/" + std::to_string(entry.LanguageId);
    if (!Seen.insert(key).second) Lex.Fail(at, "a resource of this type, name and language is already defined");
    Result.Entries.push_back(std::move(entry));
  }

  TResEntry Entry(uint16_t type, TResId name, uint16_t flags, const TResOptions& o) {
    TResEntry e;
    e.Type = TResId::FromOrdinal(type);
    e.Name = std::move(name);
    e.MemoryFlags = flags;
    e.LanguageId = o.Language;
    e.Characteristics = o.Characteristics;
    e.Version = o.Version;
    return e;
  }

  // ---- data ---------------------------------------------------------------

  // Items between braces: numbers (a WORD, or a DWORD with an L suffix),
  // strings (their bytes, no terminator; L"..." in UTF-16) and 'hex' rows.
  std::string DataItems() {
    std::string data;
    for (;;) {
      const TToken& t = Lex.Peek();
      if (IsClose(t)) {
        Lex.Next();
        return data;
      }
      if (t.Kind == TTokKind::End) Lex.Fail(t, "'}' or END expected");
      if (t.Is(",")) {
        Lex.Next();
      } else if (t.Kind == TTokKind::String) {
        const TToken s = Lex.Next();
        if (s.IsWide)
          AppendUtf16(data, s.Wide, false);
        else
          data += s.Text;
      } else if (t.Kind == TTokKind::HexString) {
        data += Lex.Next().Text;
      } else if (StartsExpression(t, Syms)) {
        const TRcValue v = ParseExpression(Lex);
        if (v.Long)
          AppendU32(data, v.Value);
        else
          AppendU16(data, static_cast<uint16_t>(v.Value & 0xFFFF));
      } else {
        Lex.Fail(t, t.Kind == TTokKind::Name ? "number expected instead of unknown name '" + t.Text + "'"
                                             : "number, string, hexadecimal data or '}' expected");
      }
    }
  }

  std::string Load(const TToken& at) {
    if (at.IsWide) Lex.Fail(at, "file name expected (not a wide string)");
    if (at.Raw.empty()) Lex.Fail(at, "file name expected");
    try {
      return Loader(at.Raw);
    } catch (const TRcError&) {
      throw;
    } catch (const std::exception& e) {
      Lex.Fail(at, e.what());
    }
  }

  // A file name (quoted or bare) or data between braces. 'at' receives the
  // token to which problems of the bytes are reported.
  std::string FileOrData(TToken& at, bool& fromFile) {
    const int c = Lex.PeekChar();
    const bool safeToLex =
        c == '{' || c == '"' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c < 0;
    if (safeToLex) {
      const TToken& t = Lex.Peek();
      at = t;
      if (IsOpen(t)) {
        Lex.Next();
        fromFile = false;
        return DataItems();
      }
      if (t.Kind == TTokKind::String && !t.IsWide) {
        const TToken name = Lex.Next();
        fromFile = true;
        return Load(name);
      }
      if (t.Kind != TTokKind::Name) Lex.Fail(t, "file name or '{' expected");
    } else if (std::string(",}|()").find(static_cast<char>(c)) != std::string::npos) {
      Lex.Fail(Lex.Peek(), "file name or '{' expected");
    }
    at = Lex.NextRawWord();
    fromFile = true;
    return Load(at);
  }

  // ---- statements ---------------------------------------------------------

  void Statement() {
    const TToken first = Lex.Next();
    if (first.IsWord("LANGUAGE")) {
      Language = LanguageStatement();
      return;
    }
    if (first.IsWord("STRINGTABLE")) {
      StringTable(first);
      return;
    }
    if (first.Kind != TTokKind::Name && first.Kind != TTokKind::Number && first.Kind != TTokKind::String)
      Lex.Fail(first, "resource name or statement expected");
    const TToken type = Lex.Next();
    if (type.Kind != TTokKind::Name && type.Kind != TTokKind::Number && type.Kind != TTokKind::String) {
      if (first.Kind == TTokKind::Name) Lex.Fail(first, "unknown statement '" + first.Text + "'");
      Lex.Fail(type, "resource type expected");
    }
    TResId name = IdOf(first, "resource name");
    const std::string word = type.Kind == TTokKind::Name ? UpperAscii(type.Text) : std::string();
    if (word == "ICON" || word == "CURSOR") {
      Icon(std::move(name), first, word == "CURSOR");
    } else if (word == "VERSIONINFO") {
      VersionInfo(std::move(name), first);
    } else if (word == "BITMAP") {
      Bitmap(std::move(name), first);
    } else if (word == "DIALOG" || word == "DIALOGEX" || word == "MENU" || word == "MENUEX" || word == "ACCELERATORS" ||
               word == "TOOLBAR" || word == "DLGINIT" || word == "DLGINCLUDE" || word == "TEXTINCLUDE") {
      Lex.Fail(type, word + " resources are not supported by this resource compiler");
    } else {
      static const std::map<std::string, uint16_t> kRawTypes = {
          {"RCDATA", RT_RCDATA}, {"FONT", RT_FONT},           {"MESSAGETABLE", RT_MESSAGETABLE},
          {"HTML", RT_HTML},     {"MANIFEST", RT_MANIFEST},   {"PLUGPLAY", RT_PLUGPLAY},
          {"VXD", RT_VXD},       {"ANICURSOR", RT_ANICURSOR}, {"ANIICON", RT_ANIICON}};
      const auto known = kRawTypes.find(word);
      const TResId typeId = known != kRawTypes.end() ? TResId::FromOrdinal(known->second) : IdOf(type, "resource type");
      RawResource(std::move(name), first, typeId);
    }
  }

  void Icon(TResId name, const TToken& at, bool cursor) {
    const TMemFlags flags = MemoryFlags();
    TToken dataAt;
    bool fromFile = false;
    const std::string bytes = FileOrData(dataAt, fromFile);
    TIconParts parts;
    if (NextIconId > 0xFFFF) Lex.Fail(dataAt, "too many icon and cursor images");
    try {
      parts = SplitIconFile(bytes, cursor, static_cast<uint16_t>(NextIconId));
    } catch (const std::exception& e) {
      Lex.Fail(dataAt, e.what());
    }
    const TResOptions o{Language};
    for (std::size_t i = 0; i < parts.Images.size(); ++i) {
      TResEntry image = Entry(cursor ? RT_CURSOR : RT_ICON, TResId::FromOrdinal(static_cast<uint16_t>(NextIconId + i)),
                              flags.Apply(kIconImageFlags), o);
      image.Data = std::move(parts.Images[i]);
      Add(std::move(image), at);
    }
    NextIconId += static_cast<uint32_t>(parts.Images.size());
    TResEntry group = Entry(cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON, std::move(name), flags.Apply(kIconGroupFlags), o);
    group.Data = std::move(parts.Group);
    Add(std::move(group), at);
  }

  void Bitmap(TResId name, const TToken& at) {
    const TMemFlags flags = MemoryFlags();
    TToken dataAt;
    bool fromFile = false;
    std::string bytes = FileOrData(dataAt, fromFile);
    // The resource holds the bitmap without its 14-byte file header.
    constexpr std::size_t kFileHeaderSize = 14;
    if (bytes.size() < kFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
      Lex.Fail(dataAt, "not a valid bitmap file: no BM header");
    TResEntry e = Entry(RT_BITMAP, std::move(name), flags.Apply(kDefaultFlags), TResOptions{Language});
    e.Data = bytes.substr(kFileHeaderSize);
    Add(std::move(e), at);
  }

  void RawResource(TResId name, const TToken& at, const TResId& type) {
    const TMemFlags flags = MemoryFlags();
    const TResOptions o = OptionalStatements();
    TToken dataAt;
    bool fromFile = false;
    TResEntry e;
    e.Data = FileOrData(dataAt, fromFile);
    e.Type = type;
    e.Name = std::move(name);
    e.MemoryFlags = flags.Apply(kDefaultFlags);
    e.LanguageId = o.Language;
    e.Characteristics = o.Characteristics;
    e.Version = o.Version;
    Add(std::move(e), at);
  }

  // ---- VERSIONINFO --------------------------------------------------------

  void VersionQuad(uint32_t& ms, uint32_t& ls) {
    std::array<uint32_t, 4> parts{};
    for (std::size_t i = 0;; ++i) {
      parts[i] = Number() & 0xFFFF;
      if (!Lex.Peek().Is(",")) break;
      const TToken comma = Lex.Next();
      if (i == 3) Lex.Fail(comma, "at most four version numbers expected");
    }
    ms = (parts[0] << 16) | parts[1];
    ls = (parts[2] << 16) | parts[3];
  }

  void VersionInfo(TResId name, const TToken& at) {
    const TMemFlags flags = MemoryFlags();
    TFixedFileInfo fixed;
    TResOptions o{Language};
    for (;;) {
      const TToken& t = Lex.Peek();
      if (IsOpen(t)) break;
      if (t.Kind != TTokKind::Name) Lex.Fail(t, "'{' or BEGIN expected");
      if (OptionalStatement(o)) continue;
      const TToken key = Lex.Next();
      const std::string w = UpperAscii(key.Text);
      if (w == "FILEVERSION")
        VersionQuad(fixed.FileVersionMS, fixed.FileVersionLS);
      else if (w == "PRODUCTVERSION")
        VersionQuad(fixed.ProductVersionMS, fixed.ProductVersionLS);
      else if (w == "FILEFLAGSMASK")
        fixed.FileFlagsMask = Number();
      else if (w == "FILEFLAGS")
        fixed.FileFlags = Number();
      else if (w == "FILEOS")
        fixed.FileOS = Number();
      else if (w == "FILETYPE")
        fixed.FileType = Number();
      else if (w == "FILESUBTYPE")
        fixed.FileSubtype = Number();
      else
        Lex.Fail(key, "unknown VERSIONINFO statement '" + key.Text + "'");
    }
    Lex.Next();
    const std::vector<TVerNode> children = VersionChildren(1);
    TResEntry e = Entry(RT_VERSION, std::move(name), flags.Apply(kDefaultFlags), o);
    try {
      e.Data = VersionInfoBytes(fixed, children);
    } catch (const std::length_error& error) {
      Lex.Fail(at, error.what());
    }
    Add(std::move(e), at);
  }

  std::vector<TVerNode> VersionChildren(int depth) {
    std::vector<TVerNode> nodes;
    for (;;) {
      const TToken t = Lex.Next();
      if (IsClose(t)) return nodes;
      if (t.Kind == TTokKind::End) Lex.Fail(t, "'}' or END expected");
      TVerNode node;
      if (t.IsWord("BLOCK")) {
        if (depth >= kMaxBlockDepth) Lex.Fail(t, "blocks nested too deeply");
        node.IsBlock = true;
        node.Key = CutAtNul(TextOf(ExpectString("block name in double quotes")));
        ExpectOpen();
        node.Children = VersionChildren(depth + 1);
      } else if (t.IsWord("VALUE")) {
        node.Key = CutAtNul(TextOf(ExpectString("value name in double quotes")));
        Value(node);
      } else {
        Lex.Fail(t, "BLOCK, VALUE or '}' expected");
      }
      nodes.push_back(std::move(node));
    }
  }

  // The items of a VALUE: strings make a text, numbers a binary value of
  // WORDs (DWORDs with an L suffix). A text ends at its first NUL, so the
  // customary trailing "\000" adds nothing but the terminator.
  void Value(TVerNode& node) {
    enum { kNone, kText, kBinary } kind = kNone;
    bool needItem = false;
    if (Lex.Peek().Is(",")) {
      Lex.Next();
      needItem = true;
    }
    for (;;) {
      const TToken& t = Lex.Peek();
      if (t.Kind == TTokKind::String) {
        if (kind == kBinary) Lex.Fail(t, "number expected: a value holds either strings or numbers");
        kind = kText;
        node.Text += TextOf(Lex.Next());
      } else if (StartsExpression(t, Syms)) {
        if (kind == kText) Lex.Fail(t, "string expected: a value holds either strings or numbers");
        kind = kBinary;
        const TRcValue v = ParseExpression(Lex);
        if (v.Long)
          AppendU32(node.Binary, v.Value);
        else
          AppendU16(node.Binary, static_cast<uint16_t>(v.Value & 0xFFFF));
      } else if (needItem) {
        Lex.Fail(t, t.Kind == TTokKind::Name ? "string or number expected instead of unknown name '" + t.Text + "'"
                                             : std::string("string or number expected"));
      } else {
        break;
      }
      needItem = false;
      if (Lex.Peek().Is(",")) {
        Lex.Next();
        needItem = true;
      }
    }
    node.IsText = kind != kBinary;
    node.Text = CutAtNul(std::move(node.Text));
  }

  // ---- STRINGTABLE --------------------------------------------------------

  struct TStringBlock {
    uint16_t Flags = 0;
    TResOptions Options{0};
    std::array<std::optional<std::u16string>, 16> Strings;
  };

  void StringTable(const TToken& at) {
    const TMemFlags flags = MemoryFlags();
    const TResOptions o = OptionalStatements();
    ExpectOpen();
    for (;;) {
      const TToken& t = Lex.Peek();
      if (IsClose(t)) {
        Lex.Next();
        return;
      }
      if (t.Kind == TTokKind::End) Lex.Fail(t, "'}' or END expected");
      const TToken idTok = t;
      const uint32_t id = Number();
      if (id > 0xFFFF) Lex.Fail(idTok, "string id larger than 65535");
      if (Lex.Peek().Is(",")) Lex.Next();
      if (Lex.Peek().Kind != TTokKind::String) Lex.Fail(Lex.Peek(), "string expected");
      std::u16string text;
      while (Lex.Peek().Kind == TTokKind::String) text += TextOf(Lex.Next());
      const auto key = std::make_pair(static_cast<uint16_t>((id >> 4) + 1), o.Language);
      auto [it, created] = StringBlocks.try_emplace(key);
      if (created) {
        it->second.Flags = flags.Apply(kDefaultFlags | MEMFLAG_DISCARDABLE);
        it->second.Options = o;
        StringBlockAt.emplace(key, at);
      }
      auto& slot = it->second.Strings[id & 15];
      if (slot) Lex.Fail(idTok, "string id " + std::to_string(id) + " is already defined");
      slot = std::move(text);
    }
  }

  void EmitStringTables() {
    for (auto& [key, block] : StringBlocks) {
      TResEntry e = Entry(RT_STRING, TResId::FromOrdinal(key.first), block.Flags, block.Options);
      for (const auto& s : block.Strings) {
        const std::u16string text = s.value_or(std::u16string());
        if (text.size() > 0xFFFF) Lex.Fail(StringBlockAt.at(key), "string longer than 65535 characters");
        AppendU16(e.Data, static_cast<uint16_t>(text.size()));
        AppendUtf16(e.Data, text, false);
      }
      Add(std::move(e), StringBlockAt.at(key));
    }
  }

  TRcSymbols Syms;
  TRcLexer Lex;
  uint32_t CodePage;
  uint16_t Language;
  const TFileLoader& Loader;
  uint32_t NextIconId = 1;
  std::set<std::string> Seen;
  std::map<std::pair<uint16_t, uint16_t>, TStringBlock> StringBlocks;
  std::map<std::pair<uint16_t, uint16_t>, TToken> StringBlockAt;
  TRcScript Result;
};

}  // namespace

TRcScript CompileScript(const std::string& text, const std::string& fileName, const TRcOptions& options,
                        const TFileLoader& loader) {
  return TRcParser(text, fileName, options, loader).Run();
}

}  // namespace tesmar_brcc
