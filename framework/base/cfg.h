// Command-line switches and key = "value" configuration files.
// Kept difference: a text key repeated in a file releases the load's own earlier copy (input handled unsafely).
#pragma once
#include <cstdint>

#define SYS_CFG_BOOL 0
#define SYS_CFG_TEXT 1
#define SYS_CFG_INT 2
#define SYS_CFG_REAL 3
#define SYS_CFG_CALLBACK 4

// Switch query types of SYS_CfgGet.
#define SYS_CFG_PRESENT 0
#define SYS_CFG_STRING 1
#define SYS_CFG_INTEGER 2
#define SYS_CFG_FLOAT 3

typedef void (*SYS_CfgCallback_t)(const char* value);

struct SYS_CFG_t {
  const char* key;      // null ends the table
  void* variable;       // where the value goes (type 4: the function)
  int32_t type;         // SYS_CFG_BOOL .. SYS_CFG_CALLBACK
  int32_t* condition;   // saving only: written when null or non-zero
};
typedef SYS_CFG_t* SYS_PCFG_t;

int SYS_CfgInit(int argc, char** argv);
int SYS_CfgAdd(const char* text);
int SYS_CfgDone(void);
// Result by type: 0 presence (1/0), 1 a text pointer (as intptr_t), 2 integer, 3 truncated real.
intptr_t SYS_CfgGet(const char* name, int type);
// Convenience forms of SYS_CfgGet.
inline int SYS_CfgHas(const char* name) { return static_cast<int>(SYS_CfgGet(name, SYS_CFG_PRESENT)); }
inline const char* SYS_CfgText(const char* name) {
  return reinterpret_cast<const char*>(SYS_CfgGet(name, SYS_CFG_STRING));
}
int SYS_CfgLoad(const char* path, SYS_CFG_t* table);
int SYS_CfgSave(const char* path, SYS_CFG_t* table);
// Number of arguments in the list and one of them (for the program path).
int SYS_CfgCount(void);
const char* SYS_CfgArg(int index);
