#include "framework/base/xml.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framework/base/file-pack.h"
#include "testsupport/base/file-pack.h"
#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "framework/base/mem.h"
#include "testsupport/base/xml.h"
#include "testsupport/testsupport.h"

namespace {

// --- the event trace: every callback becomes one line of the caller's list --

using Trace = std::vector<std::string>;

std::string Attributes(int count, char** names, char** values) {
  std::string out;
  for (int i = 0; i < count; ++i) out += std::string(" ") + names[i] + "=" + values[i];
  return out;
}

Trace& TraceOf(SYS_XML_t* xml) { return *static_cast<Trace*>(xml->user_data); }

int OnOpen(SYS_XML_t* xml, const char* name, int count, char** names, char** values) {
  TraceOf(xml).push_back("open " + std::string(name) + Attributes(count, names, values));
  return 0;
}
int OnContent(SYS_XML_t* xml, const char* name, int count, char** names, char** values, const char* text) {
  TraceOf(xml).push_back("content " + std::string(name) + Attributes(count, names, values) + " |" + text + "|");
  return 0;
}
int OnClose(SYS_XML_t* xml, const char* name) {
  TraceOf(xml).push_back("close " + std::string(name));
  return 0;
}

// Parses a text from memory with all three callbacks; the parse's result
// is checked to be 0.
Trace Parse(const std::string& text) {
  Trace trace;
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, text.c_str());
  EXPECT_NE(xml, nullptr);
  if (!xml) return trace;
  EXPECT_EQ(SYS_XMLSetCB(xml, OnOpen, OnContent, OnClose, &trace), 0);
  EXPECT_EQ(SYS_XMLParse(xml), 0) << text;
  EXPECT_EQ(SYS_XMLClose(xml), 0);
  return trace;
}

TEST(XmlParse, EventTrace) {
  struct Case {
    const char* text;
    Trace events;
  } cases[] = {
      {R"(<a x="1"/><b>hi</b>)", {"open a x=1", "close a", "open b", "content b |hi|", "close b"}},
      // Declarations call nothing.
      {R"(<?xml version="1.0"?><a/>)", {"open a", "close a"}},
      // Entities in values, in the table's order.
      {R"(<a v="&lt;&gt;&amp;" w="&#65;" z="&amp;#65;"/>)", {"open a v=<>& w=A z=A", "close a"}},
      {R"(<a q="&quot;&tilde;" g="&amp;gt;" n="&amp;amp;"/>)", {"open a q=\"~ g=&gt; n=&amp;", "close a"}},
      // No value 0, no leading zeros, no hexadecimal form, nothing past 255.
      {R"(<a v="&#0;&#065;&#x41;&#256;&apos;"/>)", {"open a v=&#0;&#065;&#x41;&#256;&apos;", "close a"}},
      {R"(<a v="&#1;&#255;"/>)", {"open a v=\x01\xff", "close a"}},
      // Text between tags arrives verbatim.
      {"<a>&lt;x&amp; \r\n y </a>", {"open a", "content a |&lt;x&amp; \r\n y |", "close a"}},
      // Blanks around "=", line breaks and tabs in attribute names.
      {"<a  x = \"1\" />", {"open a x=1", "close a"}},
      {"<a\r\n x\t=\r\n\"1\" \r\n\ty\n=\"2\"/>", {"open a x=1 y=2", "close a"}},
      {"<a\r\nb=\"1\">t</a\n>", {"open a b=1", "content a b=1 |t|", "close a"}},
      {R"(<a x="1"y="2"/>)", {"open a x=1 y=2", "close a"}},
      // Only spaces are cut from a name; other control bytes stay.
      {"<a \vx\f \t=\"1\"/>", {"open a \vx\f=1", "close a"}},
      {R"(<a x=""/>)", {"open a x=", "close a"}},
      // Case stays as written.
      {R"(<Ab Xy="V"/>)", {"open Ab Xy=V", "close Ab"}},
      // White space and stray text between tags change nothing.
      {"  <a/> junk \n <b/> ", {"open a", "close a", "open b", "close b"}},
      // Text after the last tag, and a "<" without ">", call nothing.
      {"<a/>tail < oops", {"open a", "close a"}},
      // A start tag holding the last "<" gets no content.
      {"<a>text", {"open a"}},
      {"<a>text<b/>", {"open a", "content a |text|", "open b", "close b"}},
      // Comments end at their first ">": the rest is read as text and tags.
      {"<!-- c --><a/>", {"open a", "close a"}},
      {"<!-- x > <b/> --><a/>", {"open b", "close b", "open a", "close a"}},
      // The name leaves out every "<" and "/".
      {"</a/>", {"close a"}},
      {"<a/b>", {"open ab"}},
      {"<a/ b>", {"open a"}},
      {"</>", {"close "}},
      {"<>", {"open "}},
      {"<><b/>", {"open ", "content  ||", "open b", "close b"}},
      // Nesting is never checked.
      {"</x><y></z>", {"close x", "open y", "content y ||", "close z"}},
      // Single quotes are not quotes: the value is the next double-quoted one.
      {R"(<a x='1' y="2"/>)", {"open a x=2", "close a"}},
      // The name of an attribute is everything up to its "=".
      {R"(<input disabled x="1">)", {"open input disabled x=1"}},
      // Attributes that break off end the attributes, and nothing else.
      {R"(<a x="1" y><b/>)", {"open a x=1", "content a x=1 ||", "open b", "close b"}},
      {R"(<a x="1" y=2><b/>)", {"open a x=1", "content a x=1 ||", "open b", "close b"}},
      {R"(<a x="1" y="2><b/>)", {"open a x=1", "content a x=1 ||", "open b", "close b"}},
      // A ">" in a value ends the tag.
      {R"(<a b="x>y" c="2">z</a>)", {"open a", "content a |y\" c=\"2\">z|", "close a"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.text), c.events) << c.text;
}

// --- entities in attribute values -------------------------------------------

// The value of the one attribute of an empty-element tag.
std::string ValueOf(const std::string& raw) {
  std::string value = "<no value>";
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, ("<a v=\"" + raw + "\"/>").c_str());
  EXPECT_NE(xml, nullptr);
  if (!xml) return value;
  EXPECT_EQ(SYS_XMLParse(xml), 0);
  if (xml->attr_count == 1) value = xml->attr_values[0];
  SYS_XMLClose(xml);
  return value;
}

using xmltest::ByTheChain;

// The results of the chain, pinned: its order decides what a replacement
// that forms a new entity with the text after it becomes.
TEST(XmlEntities, ResultsOfTheChain) {
  struct Case {
    const char* raw;
    std::string value;
  } cases[] = {
      // Values without entities, and "&" that starts none.
      {"", ""},
      {"plain text", "plain text"},
      {"&", "&"},
      {"a&b", "a&b"},
      {"&;", "&;"},
      {"&&", "&&"},
      {"&gt", "&gt"},
      {"x&lt", "x&lt"},
      {"&GT;", "&GT;"},
      {"&apos;", "&apos;"},
      {"& lt;", "& lt;"},
      // Each named entity, at the start, the end and side by side.
      {"&gt;", ">"},
      {"&lt;", "<"},
      {"&quot;", "\""},
      {"&tilde;", "~"},
      {"&amp;", "&"},
      {"a&lt;b&gt;c", "a<b>c"},
      {"x&amp;", "x&"},
      {"&lt;&lt;&lt;", "<<<"},
      {"&lt;&gt;&quot;&tilde;&amp;", "<>\"~&"},
      {"&&lt;", "&<"},
      {"&amp;&amp;", "&&"},
      {"&amp;&lt;", "&<"},
      {"&quot&quot;", "&quot\""},
      // Decimal entities: 1 to 255 without leading zeros, nothing else.
      {"&#1;", "\x01"},
      {"&#255;", "\xff"},
      {"&#65;&#66;", "AB"},
      {"&#10;&#34;&#60;&#62;", "\n\"<>"},
      {"a&#9;", "a\t"},
      {"&#0;", "&#0;"},
      {"&#256;", "&#256;"},
      {"&#1234;", "&#1234;"},
      {"&#4294967361;", "&#4294967361;"},  // 2^32 + 65
      {"&#065;", "&#065;"},
      {"&#x41;", "&#x41;"},
      {"&#-1;", "&#-1;"},
      {"&#;", "&#;"},
      {"&#65", "&#65"},
      {"&#", "&#"},
      // "&amp;" goes after the other names and before the decimal forms.
      {"&amp;lt;", "&lt;"},
      {"&amp;gt;", "&gt;"},
      {"&amp;quot;", "&quot;"},
      {"&amp;tilde;", "&tilde;"},
      {"&amp;amp;", "&amp;"},
      {"&amp;#65;", "A"},
      {"&amp;#1;", "\x01"},
      {"&amp;#255;", "\xff"},
      {"&amp;#0;", "&#0;"},
      {"&amp;#256;", "&#256;"},
      {"&amp;amp;#65;", "&amp;#65;"},
      {"x&amp;#65;&amp;#66;y", "xABy"},
      // Decimal entities go in rising order: what one forms with the text
      // around it is replaced only by an entry after it.
      {"&#38;#65;", "A"},
      {"&#38;#20;", "&#20;"},
      {"&#38;#38;", "&#38;"},
      {"&#38;lt;", "&lt;"},
      {"&#38;amp;", "&amp;"},
      {"&amp;&#35;65;", "A"},
      {"&#38;&#35;65;", "A"},
      {"&#38;&#35;20;", "&#20;"},
      {"&#9&#56;;", "b"},
      {"&#&#52;9;", "&#49;"},
      {"&#6&#53;;", "A"},
      {"&#65&#59;", "A"},
      {"&#50&#59;", "&#50;"},
      {"&#38;&#38;#65;", "&A"},
      // Bytes that take part in entities, made where they cannot form one.
      {"&#49;&#48;", "10"},
      {"x&#35;y&#59;", "x#y;"},
      {"&#38;x", "&x"},
      {"&#38;", "&"},
      {"a&#35;&#54;5;", "a#65;"},
      {"&amp;&#49;&#48;", "&10"},
      {"&amp;#&#54;5;", "A"},
      {"&#35;&#54;&#53;&#59;", "#65;"},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueOf(c.raw), c.value) << c.raw;
  for (const Case& c : cases) EXPECT_EQ(ByTheChain(c.raw), c.value) << "the chain itself: " << c.raw;
}

// Values made of pieces that form entities, half entities and the bytes
// that decimal entities make, all read as the chain reads them.
TEST(XmlEntities, MixedValuesAsTheChainReadsThem) {
  const char* const pieces[] = {"&",     "&#",    "#",     ";",     "amp;",  "lt;",   "gt;",   "quot;", "tilde;",
                                "1",     "2",     "5",     "6",     "9",     "0",     "x",     "&amp;", "&lt;",
                                "&gt;",  "&#38;", "&#35;", "&#59;", "&#48;", "&#53;", "&#54;", "&#65;", "&#255;",
                                "&#256;", "&#1;", "&#0;",  "&quot;", "&tilde;", "&#9",  "&#25", "55;",  " ",
                                "&#49;", "&#50;", "&#57;", "&#2",  "&#6",  "&#1",  "&#10;", "&#100;", "a"};
  std::mt19937 random(2024);
  std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1), length(1, 10);
  for (int i = 0; i < 20000; ++i) {
    std::string raw;
    for (size_t n = length(random); n > 0; --n) raw += pieces[piece(random)];
    ASSERT_EQ(ValueOf(raw), ByTheChain(raw)) << raw;
  }
}

// Entities in the text between tags and in tag names stay as written.
TEST(XmlEntities, OnlyInAttributeValues) {
  EXPECT_EQ(Parse("<a&amp; b=\"&amp;\">&lt;&#65;&amp;</a&amp;>"),
            (Trace{"open a&amp; b=&", "content a&amp; b=& |&lt;&#65;&amp;|", "close a&amp;"}));
  EXPECT_EQ(Parse("<a &lt;=\"1\"/>"), (Trace{"open a &lt;=1", "close a"}));
}

// Texts that end or break off anywhere: no callback reads or writes out of
// bounds (the sanitizer build watches) and the parse ends with 0.
TEST(XmlParse, MalformedTextEndsQuietly) {
  struct Case {
    const char* text;
    Trace events;
  } cases[] = {
      {"", {}},
      {"<", {}},
      {"<>", {"open "}},
      {"<a", {}},
      {"<a b>", {"open a"}},
      {"<a b=1>", {"open a"}},
      {"<a b=\"x>", {"open a"}},
      {"<a b=\"x\"", {}},
      {"<a b=>", {"open a"}},
      {"<a =\"1\">", {"open a =1"}},
      {">>><<<", {}},
      {"<a/>>", {"open a", "close a"}},
      {"<!", {}},
      {"<?", {}},
      {"</", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.text), c.events) << c.text;
}

TEST(XmlParse, ManyTags) {
  constexpr int kTags = 100000;
  std::string text;
  for (int i = 0; i < kTags; ++i) text += "<t n=\"" + std::to_string(i) + "\">x</t>";
  Trace trace = Parse(text);
  ASSERT_EQ(trace.size(), 3u * kTags);
  EXPECT_EQ(trace[3 * 4321], "open t n=4321");
  EXPECT_EQ(trace.back(), "close t");

  // One tag with many attributes.
  std::string wide = "<w";
  for (int i = 0; i < 1000; ++i) wide += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  wide += "/>";
  trace = Parse(wide);
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0].rfind("open w a0=0 a1=1 ", 0), 0u);
  EXPECT_NE(trace[0].find(" a999=999"), std::string::npos);
}

// Callbacks are optional one by one; the record keeps the last tag's
// attributes until it is closed.
TEST(XmlParse, CallbacksAndRecord) {
  Trace trace;
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, R"(<a x="1">t</a><b y="2" z="3">u</b>)");
  ASSERT_NE(xml, nullptr);
  EXPECT_EQ(xml->type, SYS_XML_MEMORY);
  EXPECT_EQ(xml->file_name, nullptr);
  ASSERT_EQ(SYS_XMLSetCB(xml, nullptr, OnContent, nullptr, &trace), 0);
  EXPECT_EQ(xml->user_data, &trace);
  EXPECT_EQ(SYS_XMLParse(xml), 0);
  EXPECT_EQ(trace, (Trace{"content a x=1 |t|", "content b y=2 z=3 |u|"}));
  // End tags are not split without a close callback.
  ASSERT_EQ(xml->attr_count, 2);
  EXPECT_STREQ(xml->attr_names[1], "z");
  EXPECT_STREQ(xml->attr_values[1], "3");
  EXPECT_EQ(SYS_XMLClose(xml), 0);

  xml = SYS_XMLOpen(SYS_XML_MEMORY, "<a/><b>t</b>");
  ASSERT_NE(xml, nullptr);
  EXPECT_EQ(SYS_XMLParse(xml), 0);  // no callbacks at all
  EXPECT_EQ(SYS_XMLClose(xml), 0);
}

// The callbacks are handed the record's own arrays, and the record holds
// the attributes of the tag split last, none when it had none.
int CheckArraysAreTheRecords(SYS_XML_t* xml, const char*, int count, char** names, char** values) {
  EXPECT_EQ(count, xml->attr_count);
  EXPECT_EQ(names, xml->attr_names);
  EXPECT_EQ(values, xml->attr_values);
  return 0;
}

TEST(XmlParse, RecordHoldsTheLastTag) {
  struct Case {
    const char* text;
    SYS_XMLCloseCB_t close;
    std::vector<std::string> namesAndValues;
  } cases[] = {
      {R"(<a x="1" y="2"/><b/>)", nullptr, {}},
      {R"(<a x="1"/><b p="&lt;" q="" r="&amp;#65;"/>)", nullptr, {"p", "<", "q", "", "r", "A"}},
      {R"(<a x="1">t</a>)", nullptr, {"x", "1"}},  // an end tag is split only for a close callback
      {R"(<a x="1">t</a>)", OnClose, {}},
      {R"(<a x="1"><b y="2">)", nullptr, {"y", "2"}},
  };
  for (const Case& c : cases) {
    SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, c.text);
    ASSERT_NE(xml, nullptr);
    Trace trace;
    SYS_XMLSetCB(xml, CheckArraysAreTheRecords, nullptr, c.close, &trace);
    EXPECT_EQ(SYS_XMLParse(xml), 0);
    std::vector<std::string> held;
    for (int i = 0; i < xml->attr_count; ++i) {
      held.emplace_back(xml->attr_names[i]);
      held.emplace_back(xml->attr_values[i]);
    }
    EXPECT_EQ(held, c.namesAndValues) << c.text;
    if (xml->attr_count == 0) {
      EXPECT_EQ(xml->attr_names, nullptr) << c.text;
      EXPECT_EQ(xml->attr_values, nullptr) << c.text;
    }
    SYS_XMLClose(xml);
  }
}

// A tag's attributes come in one tracked block, not in one per string:
// the arrays and every name and value lie inside the block of the names.
int CheckOneBlock(SYS_XML_t* xml, const char*, int count, char** names, char** values) {
  const int64_t size = SYS_MemSize(names);
  EXPECT_GT(size, 0);
  const char* begin = reinterpret_cast<const char*>(names);
  auto inside = [&](const void* p, size_t bytes) {
    const char* c = static_cast<const char*>(p);
    return c >= begin && c + bytes <= begin + size;
  };
  EXPECT_TRUE(inside(values, count * sizeof(char*)));
  for (int i = 0; i < count; ++i) {
    EXPECT_TRUE(inside(names[i], std::strlen(names[i]) + 1)) << names[i];
    EXPECT_TRUE(inside(values[i], std::strlen(values[i]) + 1)) << values[i];
  }
  ++*static_cast<int*>(xml->user_data);
  return 0;
}

TEST(XmlParse, OneBlockPerTag) {
  int tags = 0;
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, R"(<a x="1" yy="&lt;2" z=""/><b v="&amp;#65;">t</b>)");
  ASSERT_NE(xml, nullptr);
  SYS_XMLSetCB(xml, CheckOneBlock, nullptr, nullptr, &tags);
  EXPECT_EQ(SYS_XMLParse(xml), 0);
  EXPECT_EQ(tags, 2);
  EXPECT_EQ(SYS_XMLClose(xml), 0);
}

TEST(XmlApi, BadArguments) {
  errSetLastError(ERR_READ);
  EXPECT_EQ(SYS_XMLOpen(2, "<a/>"), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_XMLOpen(-1, "<a/>"), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_XMLOpen(SYS_XML_MEMORY, nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_XMLSetCB(nullptr, OnOpen, OnContent, OnClose, nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_XMLParse(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_XMLClose(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);

  // Every call starts by clearing the last error.
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, "");
  ASSERT_NE(xml, nullptr);  // an empty text is a text
  errSetLastError(ERR_READ);
  EXPECT_EQ(SYS_XMLParse(xml), 0);
  EXPECT_EQ(errGetLastError(), ERR_NONE);
  errSetLastError(ERR_READ);
  EXPECT_EQ(SYS_XMLSetCB(xml, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(errGetLastError(), ERR_NONE);
  errSetLastError(ERR_READ);
  EXPECT_EQ(SYS_XMLClose(xml), 0);
  EXPECT_EQ(errGetLastError(), ERR_NONE);
}

// --- files ---------------------------------------------------------------------

// Mounts last for the whole run, so the file tests run in a child.
void InChild(const std::function<void()>& body) { qt::ExpectPassesInChild(body); }

Trace ParseFile(const char* name) {
  Trace trace;
  SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_FILE, name);
  EXPECT_NE(xml, nullptr) << name;
  if (!xml) return {"<no parser>"};
  EXPECT_EQ(xml->type, SYS_XML_FILE);
  EXPECT_STREQ(xml->file_name, name);
  SYS_XMLSetCB(xml, OnOpen, OnContent, OnClose, &trace);
  EXPECT_EQ(SYS_XMLParse(xml), 0) << name;
  EXPECT_EQ(SYS_XMLClose(xml), 0);
  return trace;
}

std::vector<std::pair<int, std::string>> calls;
void RecordCall(int code, const char* text) { calls.emplace_back(code, text ? text : "(null)"); }

TEST(XmlFile, LooseFolderAndArchive) {
  InChild([] {
    qt::TempDir dir;
    qt::ChangeDir cd(dir.path());
    const std::string doc = "<?xml version=\"1.0\"?>\n<dlg w=\"10\">\n  <b t=\"&amp;Ok\"/>\n</dlg>\n";
    const Trace expected = {"open dlg w=10", "content dlg w=10 |\n  |", "open b t=&Ok", "close b", "close dlg"};
    qt::WriteFile("loose.xml", doc);
    qt::WriteFile("empty.xml", "");
    mkdir("folder", 0777);
    qt::WriteFile("folder/inner.xml", doc);
    const std::string archive = packtest::Archive({{"packed.xml", doc}, {"squeezed.xml", doc, true}});
    ASSERT_EQ(SYS_FilePackOpen("folder"), 0);
    ASSERT_EQ(SYS_FilePackOpenMem("mem.dat", archive.data(), archive.size()), 0);
    calls.clear();
    errSetCallback(RecordCall);

    EXPECT_EQ(ParseFile("loose.xml"), expected);
    EXPECT_EQ(ParseFile("inner.xml"), expected);
    EXPECT_EQ(ParseFile("packed.xml"), expected);
    EXPECT_EQ(ParseFile("squeezed.xml"), expected);
    EXPECT_EQ(ParseFile("empty.xml"), Trace{});
    EXPECT_TRUE(calls.empty());

    // A missing file: null, the file layer's code, and its one report.
    errSetLastError(ERR_READ);
    EXPECT_EQ(SYS_XMLOpen(SYS_XML_FILE, "missing.xml"), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, ERR_UNSUPPORTED);
    EXPECT_EQ(calls[0].second, "missing.xml");
    calls.clear();
    EXPECT_EQ(SYS_XMLOpen(SYS_XML_FILE, nullptr), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    errSetCallback(nullptr);
  });
}

// Nothing of the parser's is left once it is closed, whichever way it went.
TEST(XmlFile, NothingLeftAfterClose) {
  qt::TempDir dir;
  InChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::WriteFile("doc.xml", "<a x=\"1\" y=\"&lt;\">t</a><b/>");
    Parse(R"(<a x="1" y="2">t</a><b z="&#65;"/>)");
    Parse("<a b=\"x>");
    ParseFile("doc.xml");
    SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_FILE, "doc.xml");
    ASSERT_NE(xml, nullptr);
    EXPECT_EQ(SYS_XMLClose(xml), 0);  // closed without a parse
    EXPECT_EQ(SYS_XMLOpen(SYS_XML_FILE, "missing.xml"), nullptr);
    SYS_MemInfo("blocks.txt");
  });
  const std::string report = qt::ReadFile(dir / "blocks.txt");
  EXPECT_NE(report.find("Total:"), std::string::npos) << report;
  EXPECT_EQ(report.find("xml.cpp:"), std::string::npos) << report;
  EXPECT_EQ(report.find("file.cpp:"), std::string::npos) << report;
}

// The parser's lines go to the log at level 2 with "debug-xml", and only
// with "debug-all" without it; a declaration logs nothing. The text's
// address is the whole pointer: cut to 32 bits it would name another place
// (a plainly wrong result).
TEST(XmlLog, Lines) {
  for (bool xmlSwitch : {true, false}) {
    qt::TempDir dir;
    qt::ChildResult r = qt::RunInChild([&] {
      qt::ChangeDir cd(dir.path());
      qt::WriteFile("a.xml", "<a/>");
      qt::Args args{"\\opt\\prog", "-v", xmlSwitch ? "-debug-xml" : "-other"};
      SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
      const std::string text = "<?xml?><!-- c --><a/><b>t</b>";
      SYS_XML_t* xml = SYS_XMLOpen(SYS_XML_MEMORY, text.c_str());
      std::printf("buffer %p\n", static_cast<const void*>(text.c_str()));
      SYS_XMLParse(xml);
      SYS_XMLClose(xml);
      SYS_XMLClose(SYS_XMLOpen(SYS_XML_FILE, "a.xml"));
    });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string log = qt::ReadFile(dir / "debug.log");
    EXPECT_EQ(log.find("[xml][xml.cpp:") != std::string::npos, xmlSwitch) << log;
    if (!xmlSwitch) continue;
    const size_t mark = r.out.find("buffer ") + 7;
    const std::string buffer = r.out.substr(mark, r.out.find('\n', mark) - mark);
    const std::string lines[] = {
        "SYS_XMLOpen()] open input buffer: " + buffer + "\n", "SYS_XMLParse()] comment\n",
        "SYS_XMLParse()] process standalone tag\n",           "SYS_XMLParse()] process complex tag\n",
        "SYS_XMLParse()] process close tag\n",                "SYS_XMLOpen()] open input file: a.xml\n",
    };
    size_t at = 0;
    for (const std::string& line : lines) {
      const size_t found = log.find(line, at);
      EXPECT_NE(found, std::string::npos) << line << "\n" << log;
      if (found != std::string::npos) at = found;
    }
    size_t count = 0;
    for (size_t p = log.find("[xml]"); p != std::string::npos; p = log.find("[xml]", p + 1)) ++count;
    EXPECT_EQ(count, std::size(lines)) << log;
  }
}

}  // namespace
