// Parses arbitrary bytes as an XML text from memory. The callbacks read
// every byte they are handed (names, attribute names and values, text), so
// a name or value that runs past its buffer or lacks its terminator shows
// up under the sanitizers. A zero byte ends the text, as it does for any
// caller.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/base/xml.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, text.c_str());
  if (!xml) return 0;
  SYS_XMLSetCB(xml, OnOpen, OnContent, OnClose, nullptr);
  SYS_XMLParse(xml);
  SYS_XMLClose(xml);
  return 0;
}
