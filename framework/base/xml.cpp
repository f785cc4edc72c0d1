// The XML reader: a flat scan from each "<" to the first ">" after it. The
// text is outside data, so the scan sees it only through a bounded view:
// every search and copy is limited to the text's own length, and a tag that
// breaks off (no "=", no closing quote, no ">") ends where the text or the
// tag ends instead of running on into memory behind it.
#include "framework/base/xml.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"

#define XML_LOG(level, ...) SYS_LOG_TAGGED(level, "[xml]", __VA_ARGS__)
#define XML_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[xml]", fn, __VA_ARGS__)

namespace {

constexpr size_t kNotFound = std::string_view::npos;

int XmlDetail() { return SYS_DbgDetail(SYS_DbgSwitches.xml); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// --- entities ------------------------------------------------------------------
//
// An attribute value means what the entity table makes of it when applied
// as a chain: each entry in turn replaces every occurrence of its name in
// what the entries before it left, left to right, without searching its own
// replacements again. Read in one pass where they stand, the entities give
// the same value unless a replacement forms a new entity with the text
// around it for a later entry to find (never for an earlier one): the named
// entries make nothing a later entry reads but "&", and the decimal ones
// may make "&", "#", ";" or a digit. A value where such a byte lands where
// it could be part of an entity goes through the chain itself.

struct Entity {
  std::string name;
  std::string value;
};

constexpr int kFirstCharEntity = 1;
constexpr int kLastCharEntity = 255;
constexpr size_t kNamedEntities = 5;
constexpr size_t kLongestCharCode = 3;  // "255"

// The order is part of the meaning: "&amp;" goes before the decimal forms,
// so "&amp;#65;" ends as "A", and after "&gt;", so "&amp;gt;" ends as "&gt;".
const std::array<Entity, kNamedEntities + kLastCharEntity>& EntityTable() {
  static const auto table = [] {
    std::array<Entity, kNamedEntities + kLastCharEntity> t{{
        {"&gt;", ">"},
        {"&lt;", "<"},
        {"&quot;", "\""},
        {"&tilde;", "~"},
        {"&amp;", "&"},
    }};
    for (int code = kFirstCharEntity; code <= kLastCharEntity; ++code)
      t[kNamedEntities + code - kFirstCharEntity] = {"&#" + std::to_string(code) + ";",
                                                      std::string(1, static_cast<char>(code))};
    return t;
  }();
  return table;
}

// Every occurrence, left to right; a replacement is not searched again.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// The table applied entry by entry: slow, and the measure of the passes.
std::string ByTheChain(std::string_view raw) {
  std::string value(raw);
  for (const Entity& e : EntityTable()) {
    if (value.find('&') == std::string::npos) break;  // nothing left to replace
    ReplaceAll(value, e.name, e.value);
  }
  return value;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An entity at the start of `rest` (which starts with "&"): its length and
// the byte it stands for, or a length of 0 when there is none.
struct Decoded {
  size_t length;
  char byte;
};
constexpr Decoded kNoEntity{0, 0};

Decoded NamedEntity(std::string_view rest) {
  for (size_t i = 0; i < kNamedEntities; ++i) {
    const Entity& e = EntityTable()[i];
    if (rest.starts_with(e.name)) return {e.name.size(), e.value[0]};
  }
  return kNoEntity;
}

// "&#", one to three digits without a leading zero, ";", for 1 to 255.
Decoded DecimalEntity(std::string_view rest) {
  constexpr size_t kDigits = 2;  // where the digits start
  if (rest.size() <= kDigits || rest[1] != '#' || rest[kDigits] == '0') return kNoEntity;
  size_t at = kDigits;
  int code = 0;
  for (; at < rest.size() && at - kDigits < kLongestCharCode && IsDigit(rest[at]); ++at)
    code = code * 10 + (rest[at] - '0');
  if (at == kDigits || at >= rest.size() || rest[at] != ';' || code > kLastCharEntity) return kNoEntity;
  return {at + 1, static_cast<char>(code)};
}

Decoded EntityAt(std::string_view rest) {
  const Decoded named = NamedEntity(rest);
  return named.length ? named : DecimalEntity(rest);
}

// Whether a replacement's byte, written after `before` and followed by the
// text `after`, can never be part of an entity for a later entry: an entity
// is "&", "#", digits, ";", and the bytes around this one stay as they are
// or become a single byte each.
bool StaysAlone(std::string_view before, char made, std::string_view after) {
  if (made == '&') return after.empty() || after[0] != '#';
  if (made == '#') return before.empty() || before.back() != '&';
  if (made != ';' && !IsDigit(made)) return true;
  // A digit or ";" belongs to an entity only behind "#" and digits.
  size_t at = before.size();
  while (at > 0 && IsDigit(before[at - 1])) --at;
  return at == 0 || before[at - 1] != '#';
}

// Appends `raw` to `out` with its entities replaced in one pass; false when
// a replacement may form another entity, and the chain must decide.
bool ReplaceInOnePass(std::string_view raw, std::string& out) {
  const size_t mark = out.size();
  for (size_t at = 0;;) {
    const size_t amp = raw.find('&', at);
    out.append(raw.substr(at, amp == kNotFound ? kNotFound : amp - at));
    if (amp == kNotFound) return true;
    const Decoded e = EntityAt(raw.substr(amp));
    if (e.length == 0) {
      out += '&';
      at = amp + 1;
      continue;
    }
    at = amp + e.length;
    if (!StaysAlone(std::string_view(out).substr(mark), e.byte, raw.substr(at))) return false;
    out += e.byte;
  }
}

// Appends the value of `raw` as the chain makes it.
void AppendValue(std::string_view raw, std::string& out) {
  const size_t mark = out.size();
  if (ReplaceInOnePass(raw, out)) return;
  out.resize(mark);
  out += ByTheChain(raw);
}

// --- attributes ----------------------------------------------------------------

// A tracked, zero-terminated copy of a piece of the text.
char* CopyOf(std::string_view piece) {
  auto* copy = static_cast<char*>(SYS_MemGet(piece.size() + 1));
  if (copy && !piece.empty()) std::memcpy(copy, piece.data(), piece.size());
  return copy;
}

// The record's attributes live in one tracked block per tag: the name
// pointers, the value pointers, then the strings they point to. The record
// owns the block through `attr_names`; `attr_values` points into it.
void ReleaseAttributes(SYS_XML_t* xml) {
  SYS_MemFree(xml->attr_names);
  xml->attr_values = nullptr;
  xml->attr_count = 0;
}

// A tag's attributes as they are read: the zero-terminated names and values
// one after another in `bytes`, and where each pair starts. Both keep their
// room from tag to tag.
struct AttributeList {
  std::string bytes;
  std::vector<std::pair<size_t, size_t>> starts;  // of the name and of the value

  void Clear() {
    bytes.clear();
    starts.clear();
  }
};

// The name as written between the start and its "=": line breaks and tabs
// become spaces, and the spaces around it go.
void AppendName(std::string_view raw, std::string& out) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const size_t first = raw.find_first_not_of(kBlanks);
  if (first == kNotFound) return;
  for (const char c : raw.substr(first, raw.find_last_not_of(kBlanks) - first + 1)) out += IsBlank(c) ? ' ' : c;
}

// Moves the list into one tracked block that the record owns. False only
// when out of memory.
bool StoreAttributes(SYS_XML_t* xml, const AttributeList& list) {
  if (list.starts.empty()) return true;
  const uint64_t count = list.starts.size();
  const uint64_t arrays = 2 * count * sizeof(char*);
  const uint64_t size = arrays + list.bytes.size();
  if (count > INT32_MAX || size > SIZE_MAX) return false;
  auto** block = static_cast<char**>(SYS_MemGet(static_cast<size_t>(size)));
  if (!block) return false;
  char* strings = reinterpret_cast<char*>(block) + arrays;
  std::memcpy(strings, list.bytes.data(), list.bytes.size());
  for (size_t i = 0; i < list.starts.size(); ++i) {
    block[i] = strings + list.starts[i].first;
    block[count + i] = strings + list.starts[i].second;
  }
  xml->attr_names = block;
  xml->attr_values = block + count;
  xml->attr_count = static_cast<int32_t>(count);
  return true;
}

// Reads the attributes of a tag from `at` on. An attribute with no "=" or no
// pair of double quotes after it before the tag's end ends the attributes:
// there is nothing sound to read behind it.
void ReadAttributes(std::string_view tag, size_t at, AttributeList& list) {
  list.Clear();
  for (;;) {
    while (at < tag.size() && IsBlank(tag[at])) ++at;
    if (at >= tag.size() || tag[at] == '/' || tag[at] == '>') return;
    const size_t equals = tag.find('=', at);
    if (equals == kNotFound) return;
    const size_t open = tag.find('"', equals + 1);
    if (open == kNotFound) return;
    const size_t close = tag.find('"', open + 1);
    if (close == kNotFound) return;
    const size_t name = list.bytes.size();
    AppendName(tag.substr(at, equals - at), list.bytes);
    list.bytes += '\0';
    const size_t value = list.bytes.size();
    // No entity gives a zero byte (there is no "&#0;"), so a caller that
    // reads the stored value up to its terminator gets all of it.
    AppendValue(tag.substr(open + 1, close - open - 1), list.bytes);
    list.bytes += '\0';
    list.starts.emplace_back(name, value);
    at = close + 1;
  }
}

// Splits a tag ("<" to ">") into its name, written to `name` (room for the
// tag and a terminator), and its attributes in the record. The name leaves
// out every "<" and "/", so "</a>" and "<a/>" both name a. False only when
// out of memory.
bool SplitTag(SYS_XML_t* xml, std::string_view tag, char* name, AttributeList& list) {
  size_t at = 0;
  size_t length = 0;
  for (; at < tag.size() && !IsBlank(tag[at]) && tag[at] != '>'; ++at)
    if (tag[at] != '<' && tag[at] != '/') name[length++] = tag[at];
  name[length] = '\0';
  ReleaseAttributes(xml);
  ReadAttributes(tag, at, list);
  return StoreAttributes(xml, list);
}

// --- the scan -------------------------------------------------------------------

// The parse's two scratch buffers, each with room for the whole text and its
// terminator, released however the parse ends, and the attribute list that
// keeps its room from tag to tag.
class Scratch {
 public:
  explicit Scratch(size_t textLength)
      : tag_(static_cast<char*>(SYS_MemGet(textLength + 1))), text_(static_cast<char*>(SYS_MemGet(textLength + 1))) {}
  ~Scratch() {
    SYS_MemFree(tag_);
    SYS_MemFree(text_);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  bool ok() const { return tag_ && text_; }
  char* tag() { return tag_; }
  AttributeList& attributes() { return attributes_; }
  const char* CopyText(std::string_view piece) {
    if (!piece.empty()) std::memcpy(text_, piece.data(), piece.size());
    text_[piece.size()] = '\0';
    return text_;
  }

 private:
  char* tag_;
  char* text_;
  AttributeList attributes_;
};

enum class TagKind { kEnd, kDeclaration, kComment, kEmptyElement, kStart };

TagKind KindOf(std::string_view tag) {
  // A tag is at least "<>": its second character may be the ">" itself.
  if (tag[1] == '/') return TagKind::kEnd;
  if (tag[1] == '?') return TagKind::kDeclaration;
  if (tag[1] == '!') return TagKind::kComment;
  if (tag[tag.size() - 2] == '/') return TagKind::kEmptyElement;
  return TagKind::kStart;
}

void Log(const char* what, int line) {
  SYS_DbgMessage(XmlDetail(), "[xml][%s:%d:%s()] %s\n", SYS_SrcName(__FILE__), line, "SYS_XMLParse", what);
}

// One tag at text[begin..end] (its ">"); returns where the scan resumes, or
// kNotFound when the text is used up. `ok` turns false when out of memory.
size_t ProcessTag(SYS_XML_t* xml, std::string_view text, size_t begin, size_t end, Scratch& scratch, bool& ok) {
  const std::string_view tag = text.substr(begin, end - begin + 1);
  char* name = scratch.tag();
  switch (KindOf(tag)) {
    case TagKind::kEnd:
      Log("process close tag", __LINE__);
      if (xml->close_cb) {
        ok = SplitTag(xml, tag, name, scratch.attributes());
        if (ok) xml->close_cb(xml, name);
      }
      return end + 1;
    case TagKind::kDeclaration:
      return end + 1;
    case TagKind::kComment:
      // It ends at its first ">" like any tag: the rest of a comment that
      // holds one is read as text and tags.
      Log("comment", __LINE__);
      return end + 1;
    case TagKind::kEmptyElement:
      Log("process standalone tag", __LINE__);
      ok = SplitTag(xml, tag, name, scratch.attributes());
      if (!ok) return kNotFound;
      if (xml->open_cb) xml->open_cb(xml, name, xml->attr_count, xml->attr_names, xml->attr_values);
      if (xml->close_cb) xml->close_cb(xml, name);
      return end + 1;
    case TagKind::kStart:
      break;
  }
  Log("process complex tag", __LINE__);
  ok = SplitTag(xml, tag, name, scratch.attributes());
  if (!ok) return kNotFound;
  if (xml->open_cb) xml->open_cb(xml, name, xml->attr_count, xml->attr_names, xml->attr_values);
  const size_t next = text.find('<', end + 1);
  if (next == kNotFound) return kNotFound;
  const char* content = scratch.CopyText(text.substr(end + 1, next - end - 1));
  if (xml->content_cb) xml->content_cb(xml, name, xml->attr_count, xml->attr_names, xml->attr_values, content);
  return next;
}

// Frees the record's parts and the record; the caller's last error stays.
void Release(SYS_XML_t* xml) {
  SYS_ErrKeeper keep;
  ReleaseAttributes(xml);
  SYS_MemFree(xml->text);
  SYS_MemFree(xml->file_name);
  SYS_MemFree(xml);
}

// Reads the whole file into a terminated tracked text. Null on failure with
// the code set (the file layer's, or 5 when out of memory).
char* ReadWholeFile(SYS_File_p file, const char* name) {
  const int64_t size = SYS_FileSize(name);
  if (size < 0) {
    if (errPeekLastError() == ERR_NONE) errSetLastError(ERR_READ);
    return nullptr;
  }
  if (static_cast<uint64_t>(size) >= UINT32_MAX) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  auto* text = static_cast<char*>(SYS_MemGet(static_cast<size_t>(size) + 1));
  if (!text) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  // A text-mode read may give fewer bytes than the size: the text ends at
  // the last byte read.
  int64_t done = 0;
  while (done < size) {
    const int64_t n = SYS_FileRead(file, text + done, size - done);
    if (n <= 0) break;
    done += n;
  }
  text[done] = '\0';
  return text;
}

SYS_XML_t* OpenFile(SYS_XML_t* xml, const char* name) {
  SYS_File_p file = SYS_FileOpen(name, SYS_FILE_TEXT);
  XML_LOG_AS(XmlDetail(), "SYS_XMLOpen", " open input file: %s\n", name ? name : "(null)");
  if (!file) {
    Release(xml);
    return nullptr;
  }
  xml->text = ReadWholeFile(file, name);
  if (xml->text) {
    xml->file_name = SYS_StrDup(name);
    if (!xml->file_name) errSetLastError(ERR_NOMEM);
  }
  {
    SYS_ErrKeeper keep;
    SYS_FileClose(file);
  }
  if (!xml->text || !xml->file_name) {
    Release(xml);
    return nullptr;
  }
  errClear();
  return xml;
}

}  // namespace

SYS_XML_t* SYS_XMLOpen(int type, const char* source) {
  errClear();
  if ((type != SYS_XML_MEMORY && type != SYS_XML_FILE) || (type == SYS_XML_MEMORY && !source)) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  auto* xml = static_cast<SYS_XML_t*>(SYS_MemGet(sizeof(SYS_XML_t)));
  if (!xml) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  *xml = SYS_XML_t{};
  xml->type = type;
  if (type == SYS_XML_FILE) return OpenFile(xml, source);
  XML_LOG(XmlDetail(), " open input buffer: %p\n", static_cast<const void*>(source));
  xml->text = CopyOf(source);
  if (!xml->text) {
    Release(xml);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  return xml;
}

int SYS_XMLSetCB(SYS_XML_t* xml, SYS_XMLOpenCB_t open, SYS_XMLContentCB_t content, SYS_XMLCloseCB_t close,
                 void* user_data) {
  errClear();
  if (!xml) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  xml->open_cb = open;
  xml->content_cb = content;
  xml->close_cb = close;
  xml->user_data = user_data;
  return 0;
}

int SYS_XMLParse(SYS_XML_t* xml) {
  errClear();
  if (!xml || !xml->text) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const std::string_view text(xml->text);
  Scratch scratch(text.size());
  if (!scratch.ok()) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  bool ok = true;
  for (size_t at = 0; ok && at < text.size();) {
    const size_t begin = text.find('<', at);
    if (begin == kNotFound) break;
    const size_t end = text.find('>', begin + 1);
    if (end == kNotFound) break;
    at = ProcessTag(xml, text, begin, end, scratch, ok);
  }
  if (!ok) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  return 0;
}

int SYS_XMLClose(SYS_XML_t* xml) {
  errClear();
  if (!xml) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  Release(xml);
  errClear();
  return 0;
}
