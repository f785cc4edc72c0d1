// Test-side reading of an attribute value: the entity table applied as a
// chain, entry by entry, the plain way. The reader's own replacement must
// give the same value for every text; the tests and the fuzz target hold
// it to this.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace xmltest {

// Each entry in turn replaces every occurrence of its name in what the
// entries before it left, left to right, without searching its own
// replacements again.
inline std::string ByTheChain(std::string value) {
  std::vector<std::pair<std::string, std::string>> table = {
      {"&gt;", ">"}, {"&lt;", "<"}, {"&quot;", "\""}, {"&tilde;", "~"}, {"&amp;", "&"}};
  for (int code = 1; code <= 255; ++code)
    table.emplace_back("&#" + std::to_string(code) + ";", std::string(1, static_cast<char>(code)));
  for (const auto& [name, replacement] : table) {
    std::string out;
    size_t from = 0;
    for (size_t at; (at = value.find(name, from)) != std::string::npos; from = at + name.size())
      out.append(value, from, at - from).append(replacement);
    value = out.append(value, from);
  }
  return value;
}

}  // namespace xmltest
