// A small INI document: bracketed sections of KEY=VALUE lines, read from bytes and
// written back with every line it does not change kept as it was.
//
// Reading: lines end at LF, with an optional CR before it; a UTF-8 byte-order mark at the
// start is skipped. Blanks (spaces, tabs) around section and key names are ignored, the
// names are otherwise matched exactly (case-sensitive). A value is everything after the
// first "=" up to the line end, untouched: no trimming, no quote removal. Only a line
// whose first non-blank character is ";" is a comment. The first occurrence of a section,
// and of a key within it, wins; later duplicates are kept but never read or changed.
//
// Writing: lines end with CRLF; a byte-order mark read at the start is written back, so a
// line that itself begins with those bytes still reads back as it was. Every parse and
// write is linear in the document's size.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zdl {

class IniDocument {
 public:
  IniDocument() = default;
  // Any bytes parse; lines that are neither sections, keys nor comments are kept as they are.
  static IniDocument Parse(std::string_view bytes);

  // The value of the key in the section; "" when either is absent.
  std::string Get(std::string_view section, std::string_view key) const;
  bool Has(std::string_view section, std::string_view key) const;

  // Replaces the key's value in place (the line keeps its name part as it was), or appends
  // the key at the end of its section, or appends the section at the end of the document.
  // `value` must hold no CR or LF (the caller refuses such values): it would not read back.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The document with CRLF line ends.
  std::string Serialise() const;

 private:
  struct Section {
    std::string header;             // the "[Name]" line as it was ("" for the preamble)
    std::vector<std::string> body;  // lines up to the last non-blank one
    std::vector<std::string> tail;  // blank lines after it, before the next section
    std::unordered_map<std::string, std::size_t> keys;  // first occurrence -> body index
    bool readable = false;  // first occurrence of its name (not the preamble)
  };

  void AddLine(std::string line);
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;

  bool byte_order_mark_ = false;
  std::vector<Section> sections_;  // sections_[0] is the preamble before any section
  std::unordered_map<std::string, std::size_t> section_index_;
};

}  // namespace zdl
