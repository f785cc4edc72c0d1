// The framework's doubly linked list of pointers.
#include "framework/base/list.h"

#include "framework/base/log.h"
#include "framework/base/mem.h"

namespace {
SYS_List_p NewNode(void* element) {
  if (!element) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  auto* node = static_cast<SYS_List_p>(SYS_MemGet(sizeof(SYS_List_t)));
  if (!node) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  node->data = element;
  return node;
}
}  // namespace

SYS_List_p SYS_ListAddFirst(SYS_List_p list, void* element) {
  errClear();
  SYS_List_p node = NewNode(element);
  if (!node) return nullptr;
  node->next = list;
  if (list) list->prev = node;
  return node;
}

SYS_List_p SYS_ListAddLast(SYS_List_p list, void* element) {
  errClear();
  SYS_List_p node = NewNode(element);
  if (!node) return nullptr;
  if (!list) return node;
  SYS_List_p last = list;
  while (last->next) last = last->next;
  last->next = node;
  node->prev = last;
  return list;
}

SYS_List_p SYS_ListDelItem(SYS_List_p list, void* element) {
  errClear();
  if (!list || !element) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  SYS_List_p node = list;
  while (node && node->data != element) node = node->next;
  if (!node) return list;
  if (node->prev) node->prev->next = node->next;
  else list = node->next;
  if (node->next) node->next->prev = node->prev;
  SYS_MemFree(node);
  return list;
}

int SYS_ListRemove(SYS_List_p list) {
  errClear();
  if (!list) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  while (list) {
    SYS_List_p next = list->next;
    SYS_MemFree(list);
    list = next;
  }
  return 0;
}
