// The framework's XML reader against expat on two documents of about 10 MB
// each: one with entities in its attribute values and its text, one with
// none. Both readers are timed from the text in memory to the last callback
// (our reader's open, parse and close; expat's parser made, fed the whole
// text and freed), in turns so that a busy moment of the machine weighs on
// both alike. The median of the rounds gives the ratios, printed with their
// goals: at most 1.5 times expat with entities, 1.2 times without.
#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/base/xml.h"
#include "bench/benchutil.h"

namespace {

using bench::Median;

constexpr size_t kDocumentBytes = 10u << 20;
constexpr int kRounds = 11;
constexpr double kGoalWithEntities = 1.5;
constexpr double kGoalWithout = 1.2;

// What both readers' callbacks see, so that neither can skip its work.
struct Tally {
  uint64_t tags = 0;
  uint64_t attributes = 0;
  uint64_t bytes = 0;
};

// Entities as a dialog description holds them: the named ones most, some
// decimal ones. Expat reads the decimal ones as the same ASCII letters.
const char* const kWithEntities[] = {
    R"(<item id="save" label="Save &amp; quit" tip="when a &lt; b &amp;&amp; b &gt; c" say="&quot;Ok&quot;" key="&#83;&#97;">)"
    "Press &lt;Enter&gt; to save &amp; leave, &quot;Esc&quot; to stay.</item>\n",
    R"(<line x="10" y="20" w="300" h="2" color="#ff8000" style="dash &amp; dot"/>)"
    "\n",
    R"(<label text="Level &#49;&#48; of &#50;&#48;" font="sans" size="12">Tom &amp; Jerry &#38; co</label>)"
    "\n",
};
const char* const kWithout[] = {
    R"(<item id="save" label="Save and quit" tip="when a is less than b and b more than c" say="Ok" key="Sa">)"
    "Press Enter to save and leave, Esc to stay.</item>\n",
    R"(<line x="10" y="20" w="300" h="2" color="#ff8000" style="dash and dot"/>)"
    "\n",
    R"(<label text="Level 10 of 20" font="sans" size="12">Tom and Jerry and co</label>)"
    "\n",
};

std::string Document(const char* const (&pieces)[3]) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<dialog name=\"bench\">\n";
  for (size_t i = 0; doc.size() < kDocumentBytes; ++i) doc += pieces[i % 3];
  doc += "</dialog>\n";
  return doc;
}

// --- our reader --------------------------------------------------------------

void Count(Tally& t, int count, char** names, char** values) {
  t.tags += 1;
  t.attributes += static_cast<uint64_t>(count);
  for (int i = 0; i < count; ++i) t.bytes += static_cast<uint8_t>(names[i][0]) + static_cast<uint8_t>(values[i][0]);
}

int OursOpen(SYS_XML_t* xml, const char*, int count, char** names, char** values) {
  Count(*static_cast<Tally*>(xml->user_data), count, names, values);
  return 0;
}
int OursContent(SYS_XML_t* xml, const char*, int, char**, char**, const char* text) {
  static_cast<Tally*>(xml->user_data)->bytes += static_cast<uint8_t>(text[0]);
  return 0;
}
int OursClose(SYS_XML_t* xml, const char*) {
  static_cast<Tally*>(xml->user_data)->bytes += 1;
  return 0;
}

Tally ParseOurs(const std::string& doc) {
  Tally t;
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, doc.c_str());
  if (!xml) std::abort();
  SYS_XMLSetCB(xml, OursOpen, OursContent, OursClose, &t);
  if (SYS_XMLParse(xml) != 0) std::abort();
  SYS_XMLClose(xml);
  return t;
}

// --- expat ---------------------------------------------------------------------

void XMLCALL ExpatStart(void* user, const XML_Char*, const XML_Char** attributes) {
  auto& t = *static_cast<Tally*>(user);
  int count = 0;
  while (attributes[2 * count]) ++count;
  Count(t, count, const_cast<char**>(attributes), const_cast<char**>(attributes) + 1);
}
void XMLCALL ExpatText(void* user, const XML_Char* text, int length) {
  if (length > 0) static_cast<Tally*>(user)->bytes += static_cast<uint8_t>(text[0]);
}
void XMLCALL ExpatEnd(void* user, const XML_Char*) { static_cast<Tally*>(user)->bytes += 1; }

Tally ParseExpat(const std::string& doc) {
  Tally t;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &t);
  XML_SetElementHandler(parser, ExpatStart, ExpatEnd);
  XML_SetCharacterDataHandler(parser, ExpatText);
  if (XML_Parse(parser, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK) {
    std::fprintf(stderr, "expat: %s\n", XML_ErrorString(XML_GetErrorCode(parser)));
    std::abort();
  }
  XML_ParserFree(parser);
  return t;
}

// --- timing --------------------------------------------------------------------

volatile uint64_t sink;

double Milliseconds(Tally (*parse)(const std::string&), const std::string& doc) {
  const auto start = std::chrono::steady_clock::now();
  sink = sink + parse(doc).bytes;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}


void Compare(const char* title, const std::string& doc, double goal) {
  const Tally ours = ParseOurs(doc), theirs = ParseExpat(doc);
  if (ours.tags != theirs.tags || ours.attributes != theirs.attributes) {
    std::fprintf(stderr, "%s: the readers disagree (%llu/%llu tags)\n", title,
                 static_cast<unsigned long long>(ours.tags), static_cast<unsigned long long>(theirs.tags));
    std::abort();
  }
  std::vector<double> oursMs, expatMs;
  for (int round = 0; round < kRounds; ++round) {
    oursMs.push_back(Milliseconds(ParseOurs, doc));
    expatMs.push_back(Milliseconds(ParseExpat, doc));
  }
  const double o = Median(oursMs), e = Median(expatMs);
  std::printf("%s (%.1f MB, %llu tags, %llu attributes), median of %d: ours %.1f ms, expat %.1f ms, "
              "ratio %.2fx (goal <= %.1fx)\n",
              title, static_cast<double>(doc.size()) / (1 << 20), static_cast<unsigned long long>(ours.tags),
              static_cast<unsigned long long>(ours.attributes), kRounds, o, e, o / e, goal);
}

}  // namespace

int main() {
  Compare("with entities", Document(kWithEntities), kGoalWithEntities);
  Compare("without entities", Document(kWithout), kGoalWithout);
  return 0;
}
