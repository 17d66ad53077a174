#pragma once

#include <cstdint>
#include <string>

namespace tesmar_brcc {

// Code pages the compiler can read a script's text in.
constexpr uint32_t kCodePageWindows1252 = 1252;
constexpr uint32_t kCodePageUtf8 = 65001;

// Script bytes to UTF-16. Windows-1252 maps every byte (the five holes map to
// the code point of the same value, as Windows does); UTF-8 turns a malformed
// sequence into U+FFFD.
std::u16string ToUtf16(const std::string& bytes, uint32_t codePage);

// Upper-cases ASCII letters only: resource names and types are compared so.
std::string UpperAscii(std::string text);

}  // namespace tesmar_brcc
