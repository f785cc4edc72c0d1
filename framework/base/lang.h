// Phrase files: an application's user-visible texts looked up by key from a
// file of key = "text" lines in the program folder.
//
// The format's limits: a text cannot hold "#" (a comment starts there, inside
// quotes too) nor "=" (the text ends at the second one), and a line holds at
// most SYS_LANG_LINE_LIMIT characters; a longer line is left out whole.
#pragma once
#include <cstdint>

#include "framework/base/list.h"

#define SYS_LANG_LINE_LIMIT 4095

// One phrase line, kept in file order in the list.
struct SYS_LangPhrase_t {
  uint32_t crc;  // CRC-32 of the key's characters; lookups compare only this
  char* key;     // tracked
  char* text;    // tracked
};

// The phrase list of the program-folder file of that name, or null: code 1
// when it is missing, 2 when it cannot be opened, 5 without memory, and no
// code for a file without phrase lines.
SYS_List_p SYS_LangSetFile(const char* name);
// The phrase's text (owned by the list), or the key pointer itself when no
// phrase has it; null with code 10 for a null list or key.
const char* SYS_LangGetPhrase(SYS_List_p list, const char* key);
// Releases the list with every phrase; -1 with code 10 for a null list.
int SYS_LangDestroy(SYS_List_p list);

// The reader behind SYS_LangSetFile, for any line source that behaves like
// SYS_FileGetStr (a line without its end per call, null at the end). Counts
// the phrases into *count; null with code 5 when memory runs out.
typedef char* (*SYS_LangLineSource_t)(void* context, char* buffer, int length);
SYS_List_p SYS_LangRead(SYS_LangLineSource_t source, void* context, int* count);
