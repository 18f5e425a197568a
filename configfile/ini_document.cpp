#include "configfile/ini_document.h"

#include <utility>

namespace zdl {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  std::size_t begin = 0;
  while (begin < s.size() && IsBlank(s[begin])) ++begin;
  std::size_t end = s.size();
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// The name of a "[Name]" line; false for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
  std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() != '[') return false;
  std::size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  name = TrimBlanks(t.substr(1, close - 1));
  return true;
}

bool IsComment(std::string_view line) {
  std::string_view t = TrimBlanks(line);
  return !t.empty() && t.front() == ';';
}

// The name of a "KEY=VALUE" line; false for a line without "=" or with an empty name.
bool KeyName(std::string_view line, std::string_view& name) {
  if (IsComment(line)) return false;
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  name = TrimBlanks(line.substr(0, eq));
  return !name.empty();
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.starts_with(kUtf8Bom)) {
    bytes.remove_prefix(kUtf8Bom.size());
    doc.byte_order_mark_ = true;
  }
  while (!bytes.empty()) {
    std::size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    doc.AddLine(std::string(line));
  }
  return doc;
}

void IniDocument::AddLine(std::string line) {
  if (sections_.empty()) sections_.emplace_back();  // the preamble
  std::string_view name;
  if (SectionName(line, name)) {
    Section section;
    section.readable = section_index_.emplace(std::string(name), sections_.size()).second;
    section.header = std::move(line);
    sections_.push_back(std::move(section));
    return;
  }
  Section& current = sections_.back();
  if (TrimBlanks(line).empty()) {
    current.tail.push_back(std::move(line));
    return;
  }
  for (std::string& blank : current.tail) current.body.push_back(std::move(blank));
  current.tail.clear();
  if (current.readable && KeyName(line, name)) {
    current.keys.emplace(std::string(name), current.body.size());
  }
  current.body.push_back(std::move(line));
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
  auto it = section_index_.find(std::string(name));
  return it == section_index_.end() ? nullptr : &sections_[it->second];
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
  auto it = section_index_.find(std::string(name));
  return it == section_index_.end() ? nullptr : &sections_[it->second];
}

bool IniDocument::Has(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  return s != nullptr && s->keys.contains(std::string(key));
}

std::string IniDocument::Get(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return {};
  auto it = s->keys.find(std::string(key));
  if (it == s->keys.end()) return {};
  const std::string& line = s->body[it->second];
  return line.substr(line.find('=') + 1);
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  Section* s = FindSection(section);
  if (s == nullptr) {
    if (sections_.empty()) sections_.emplace_back();
    // A blank line between the last section and the new one, for the human reader.
    Section& last = sections_.back();
    if (!last.body.empty() && last.tail.empty()) last.tail.emplace_back();
    Section added;
    added.header += '[';
    added.header += section;
    added.header += ']';
    added.readable = true;
    section_index_.emplace(std::string(section), sections_.size());
    sections_.push_back(std::move(added));
    s = &sections_.back();
  }
  auto it = s->keys.find(std::string(key));
  if (it != s->keys.end()) {
    std::string& line = s->body[it->second];
    line.resize(line.find('=') + 1);
    line.append(value);
    return;
  }
  s->keys.emplace(std::string(key), s->body.size());
  std::string line(key);
  line += '=';
  line.append(value);
  s->body.push_back(std::move(line));
}

std::string IniDocument::Serialise() const {
  std::size_t size = kUtf8Bom.size();
  for (const Section& s : sections_) {
    size += s.header.size() + 2;
    for (const std::string& line : s.body) size += line.size() + 2;
    size += s.tail.size() * 2;
  }
  std::string out;
  out.reserve(size);
  if (byte_order_mark_) out += kUtf8Bom;
  auto put = [&out](const std::string& line) {
    out += line;
    out += "\r\n";
  };
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    const Section& s = sections_[i];
    if (i > 0) put(s.header);
    for (const std::string& line : s.body) put(line);
    for (const std::string& line : s.tail) put(line);
  }
  return out;
}

}  // namespace zdl
