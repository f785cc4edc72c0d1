// The GROUP widget: shows, hides, enables and disables the widgets it lists
// by ID (its WID attributes, in order) at once. A GROUP among the members
// takes the event over: the walk goes on through its members and does not
// come back, so members listed after a nested GROUP are left alone.
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/numconv.h"
#include "framework/widget/widget_internal.h"
#include "platform/ascii.h"

#define WIDGET_GROUP_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][group]", __VA_ARGS__)
#define WIDGET_GROUP_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][group]", fn, __VA_ARGS__)

namespace {

constexpr const char* kMemberAttribute = "WID";

bool IsMemberAttribute(const char* name) { return name && SYS_AsciiEqualNoCase(name, kMemberAttribute); }

int ReadMembers(widget_t* w, int count, char** names, char** values) {
  int32_t members = 0;
  for (int i = 0; i < count; ++i) members += IsMemberAttribute(names[i]);
  if (members == 0) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  w->members = static_cast<int32_t*>(SYS_MemGet(sizeof(int32_t) * static_cast<size_t>(members)));
  if (!w->members) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  int32_t at = 0;
  for (int i = 0; i < count; ++i)
    if (IsMemberAttribute(names[i])) w->members[at++] = SYS_ParseInt32(values[i]);
  w->member_count = members;
  return 0;
}

// The member's own flags; the member hears nothing of it.
void Apply(widget_t* member, int32_t type) {
  switch (type) {
    case WDG_EVENT_SHOW:
      member->visible = 1;
      break;
    case WDG_EVENT_HIDE:
      member->visible = 0;
      break;
    case WDG_EVENT_ENABLE:
      member->disabled = 0;
      break;
    case WDG_EVENT_DISABLE:
      member->disabled = 1;
      break;
    default:
      break;
  }
}

// Walks the group's members, and on into the first nested GROUP met. A GROUP
// already on the way (a group listing itself, or a cycle) ends the walk, so
// no list of groups can make it run forever.
void Walk(widget_t* group, int32_t type) {
  std::vector<const widget_t*> way;
  for (widget_t* at = group; at;) {
    way.push_back(at);
    widget_t* nested = nullptr;
    for (int32_t i = 0; i < at->member_count; ++i) {
      widget_t* member = wdgFind(at->set, at->members[i]);
      if (!member) continue;
      if (member->kind == WDG_KIND_GROUP) {
        nested = member;
        break;
      }
      Apply(member, type);
    }
    for (const widget_t* seen : way)
      if (seen == nested) nested = nullptr;
    at = nested;
  }
}

}  // namespace

int widget_group_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_GROUP;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  if (ReadMembers(w, count, names, values) != 0) return -1;
  WIDGET_GROUP_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : id: %d\n", wdgKinds[WDG_KIND_GROUP]->tag,
                      w->kind, w->id);
  return 0;
}

int widget_group_event(widget_t* w, wm_event_t* e) {
  switch (e->type) {
    case WDG_EVENT_SHOW:
    case WDG_EVENT_HIDE:
    case WDG_EVENT_ENABLE:
    case WDG_EVENT_DISABLE:
      Walk(w, e->type);
      return 0;
    case WDG_EVENT_DESTROY:
      SYS_MemFree(w->members);
      w->member_count = 0;
      return 0;
    default:  // a draw passed on would change no member's flags
      return 0;
  }
}
