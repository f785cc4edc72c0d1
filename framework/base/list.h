// The framework's doubly linked list of pointers. A list is its first node.
#pragma once

struct SYS_List_t {
  void* data;
  SYS_List_t* prev;
  SYS_List_t* next;
};
typedef SYS_List_t* SYS_List_p;

// These return the list's (new) first node, or null on failure with the last
// error set; on failure the caller's list is unchanged, so keep it.
SYS_List_p SYS_ListAddFirst(SYS_List_p list, void* element);
SYS_List_p SYS_ListAddLast(SYS_List_p list, void* element);
SYS_List_p SYS_ListDelItem(SYS_List_p list, void* element);
int SYS_ListRemove(SYS_List_p list);
