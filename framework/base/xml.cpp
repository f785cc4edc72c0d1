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

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"

namespace {

constexpr size_t kNotFound = std::string_view::npos;

int XmlDetail() { return SYS_DbgDetail(SYS_DbgSwitches.xml); }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// --- entities ------------------------------------------------------------------

struct Entity {
  std::string name;
  std::string value;
};

constexpr int kFirstCharEntity = 1;
constexpr int kLastCharEntity = 255;
constexpr size_t kNamedEntities = 5;

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

void ReplaceEntities(std::string& value) {
  for (const Entity& e : EntityTable()) {
    if (value.find('&') == std::string::npos) return;  // nothing left to replace
    ReplaceAll(value, e.name, e.value);
  }
}

// --- attributes ----------------------------------------------------------------

void ReleaseAttributes(SYS_XML_t* xml) {
  for (int32_t i = 0; i < xml->attr_count; ++i) {
    SYS_MemFree(xml->attr_names[i]);
    SYS_MemFree(xml->attr_values[i]);
  }
  SYS_MemFree(xml->attr_names);
  SYS_MemFree(xml->attr_values);
  xml->attr_count = 0;
}

// The arrays grow in powers of two, so a tag with many attributes does not
// copy its arrays once per attribute; the capacity follows from the count.
bool RoomForOneMore(SYS_XML_t* xml) {
  const uint64_t count = static_cast<uint64_t>(xml->attr_count);
  if (count != 0 && (count & (count - 1)) != 0) return true;
  const uint64_t bytes = (count == 0 ? 1 : 2 * count) * sizeof(char*);
  if (bytes > UINT32_MAX) return false;
  char** names = xml->attr_names;
  char** values = xml->attr_values;
  if (!SYS_MemRealloc(names, static_cast<size_t>(bytes))) return false;
  xml->attr_names = names;
  if (!SYS_MemRealloc(values, static_cast<size_t>(bytes))) return false;
  xml->attr_values = values;
  return true;
}

// A tracked, zero-terminated copy of a piece of the text.
char* CopyOf(std::string_view piece) {
  auto* copy = static_cast<char*>(SYS_MemGet(piece.size() + 1));
  if (copy && !piece.empty()) std::memcpy(copy, piece.data(), piece.size());
  return copy;
}

bool AddAttribute(SYS_XML_t* xml, std::string_view name, std::string_view value) {
  if (!RoomForOneMore(xml)) return false;
  char* n = CopyOf(name);
  char* v = CopyOf(value);
  if (!n || !v) {
    SYS_MemFree(n);
    SYS_MemFree(v);
    return false;
  }
  xml->attr_names[xml->attr_count] = n;
  xml->attr_values[xml->attr_count] = v;
  ++xml->attr_count;
  return true;
}

// The name as written between the start and its "=": line breaks and tabs
// become spaces, and the spaces around it go.
std::string AttributeName(std::string_view raw) {
  std::string name(raw);
  SYS_StrSwap(name.data(), '\r', ' ');
  SYS_StrSwap(name.data(), '\n', ' ');
  SYS_StrSwap(name.data(), '\t', ' ');
  return SYS_Trim(name.data());
}

// Reads the attributes of a tag from `at` on. An attribute with no "=" or no
// pair of double quotes after it before the tag's end ends the attributes:
// there is nothing sound to read behind it. False only when out of memory.
bool ReadAttributes(SYS_XML_t* xml, std::string_view tag, size_t at) {
  for (;;) {
    while (at < tag.size() && IsBlank(tag[at])) ++at;
    if (at >= tag.size() || tag[at] == '/' || tag[at] == '>') return true;
    const size_t equals = tag.find('=', at);
    if (equals == kNotFound) return true;
    const size_t open = tag.find('"', equals + 1);
    if (open == kNotFound) return true;
    const size_t close = tag.find('"', open + 1);
    if (close == kNotFound) return true;
    std::string name = AttributeName(tag.substr(at, equals - at));
    std::string value(tag.substr(open + 1, close - open - 1));
    if (!value.empty()) ReplaceEntities(value);
    // No entity gives a zero byte (there is no "&#0;"), so a caller that
    // reads the stored value up to its terminator gets all of it.
    if (!AddAttribute(xml, name, value)) return false;
    at = close + 1;
  }
}

// Splits a tag ("<" to ">") into its name, written to `name` (room for the
// tag and a terminator), and its attributes in the record. The name leaves
// out every "<" and "/", so "</a>" and "<a/>" both name a.
bool SplitTag(SYS_XML_t* xml, std::string_view tag, char* name) {
  size_t at = 0;
  size_t length = 0;
  for (; at < tag.size() && !IsBlank(tag[at]) && tag[at] != '>'; ++at)
    if (tag[at] != '<' && tag[at] != '/') name[length++] = tag[at];
  name[length] = '\0';
  ReleaseAttributes(xml);
  return ReadAttributes(xml, tag, at);
}

// --- the scan -------------------------------------------------------------------

// The parse's two scratch buffers, each with room for the whole text and its
// terminator, released however the parse ends.
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
  const char* CopyText(std::string_view piece) {
    if (!piece.empty()) std::memcpy(text_, piece.data(), piece.size());
    text_[piece.size()] = '\0';
    return text_;
  }

 private:
  char* tag_;
  char* text_;
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
        ok = SplitTag(xml, tag, name);
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
      ok = SplitTag(xml, tag, name);
      if (!ok) return kNotFound;
      if (xml->open_cb) xml->open_cb(xml, name, xml->attr_count, xml->attr_names, xml->attr_values);
      if (xml->close_cb) xml->close_cb(xml, name);
      return end + 1;
    case TagKind::kStart:
      break;
  }
  Log("process complex tag", __LINE__);
  ok = SplitTag(xml, tag, name);
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
  SYS_DbgMessage(XmlDetail(), "[xml][%s:%d:%s()] open input file: %s\n", SYS_LOGPOS_AS("SYS_XMLOpen"),
                 name ? name : "(null)");
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
  SYS_DbgMessage(XmlDetail(), "[xml][%s:%d:%s()] open input buffer: %p\n", SYS_LOGPOS,
                 static_cast<const void*>(source));
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
