// Parses arbitrary bytes as an XML text from memory. The callbacks read
// every byte they are handed (names, attribute names and values, text), so
// a name or value that runs past its buffer or lacks its terminator shows
// up under the sanitizers. A zero byte ends the text, as it does for any
// caller.
//
// The same bytes, less those that end a value, are then read as the value
// of one attribute, which must come out as the entity table applied entry
// by entry makes it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/base/xml.h"
#include "testsupport/base/xml.h"

namespace {

volatile uint32_t sink;

void Touch(const char* text) {
  uint32_t sum = 0;
  for (const char* p = text; *p; ++p) sum += static_cast<uint8_t>(*p);
  sink = sink + sum;
}

void TouchAll(const char* name, int count, char** names, char** values) {
  Touch(name);
  for (int i = 0; i < count; ++i) {
    Touch(names[i]);
    Touch(values[i]);
  }
}

int OnOpen(SYS_XML_t*, const char* name, int count, char** names, char** values) {
  TouchAll(name, count, names, values);
  return 0;
}
int OnContent(SYS_XML_t*, const char* name, int count, char** names, char** values, const char* text) {
  TouchAll(name, count, names, values);
  Touch(text);
  return 0;
}
int OnClose(SYS_XML_t*, const char* name) {
  Touch(name);
  return 0;
}

void ParseDocument(const std::string& text) {
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, text.c_str());
  if (!xml) return;
  SYS_XMLSetCB(xml, OnOpen, OnContent, OnClose, nullptr);
  SYS_XMLParse(xml);
  SYS_XMLClose(xml);
}

void CheckValue(const std::string& text) {
  std::string raw;
  for (const char c : text)
    if (c != '"' && c != '>' && c != '\0') raw += c;
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, ("<a v=\"" + raw + "\"/>").c_str());
  if (!xml) return;
  if (SYS_XMLParse(xml) == 0 && (xml->attr_count != 1 || xmltest::ByTheChain(raw) != xml->attr_values[0]))
    std::abort();
  SYS_XMLClose(xml);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ParseDocument(text);
  CheckValue(text);
  return 0;
}
