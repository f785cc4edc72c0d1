// A small callback-driven XML reader. It walks a whole text tag by tag and
// reports each tag to up to three callbacks (start tag, the text after a
// start tag, end tag). It builds no tree and checks no nesting: the caller
// sees a flat stream of tags in document order.
//
// Differs from the plain description, and the fault it mends: the log line
// of a text opened from memory prints the text's address with %p, as a
// 32-bit hex figure would cut a 64-bit address (plainly wrong result).
#pragma once
#include <cstdint>

// Input types of SYS_XMLOpen.
#define SYS_XML_MEMORY 0  // the source is the XML text itself
#define SYS_XML_FILE 1    // the source names a file of the file layer

struct SYS_XML_t;

// The name, the arrays and the text belong to the parser and stay valid only
// until the next tag is processed; a callback copies what it keeps. The
// returned value is ignored.
typedef int (*SYS_XMLOpenCB_t)(SYS_XML_t* xml, const char* name, int count, char** names, char** values);
typedef int (*SYS_XMLContentCB_t)(SYS_XML_t* xml, const char* name, int count, char** names, char** values,
                                  const char* text);
typedef int (*SYS_XMLCloseCB_t)(SYS_XML_t* xml, const char* name);

struct SYS_XML_t {
  SYS_XMLOpenCB_t open_cb;
  SYS_XMLContentCB_t content_cb;
  SYS_XMLCloseCB_t close_cb;
  int32_t type;
  char* text;       // the whole input, zero-terminated
  char* file_name;  // SYS_XML_FILE only
  int32_t attr_count;  // of the tag split last
  char** attr_names;
  char** attr_values;  // entities replaced
  void* user_data;     // the caller's; the parser never reads it
};

// A new parser, or null: code 10 for a bad type or a null text, 5 when out
// of memory, the file layer's code when the file cannot be opened.
SYS_XML_t* SYS_XMLOpen(int type, const char* source);
// 0, or -1 with code 10 for a null parser.
int SYS_XMLSetCB(SYS_XML_t* xml, SYS_XMLOpenCB_t open, SYS_XMLContentCB_t content, SYS_XMLCloseCB_t close,
                 void* user_data);
// Walks the whole text once: 0 when it is used up, -1 with code 10 for a
// null parser or 5 when out of memory. Malformed text is not diagnosed.
int SYS_XMLParse(SYS_XML_t* xml);
// Releases the parser with everything it holds: 0, or -1 with code 10.
int SYS_XMLClose(SYS_XML_t* xml);
