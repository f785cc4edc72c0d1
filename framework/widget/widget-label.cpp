// The LABEL widget: a line of text rendered into a bitmap of the label's
// size, kept in the texture cache as "label-<seq>" and drawn as a quad of
// the text's size.
#include <algorithm>
#include <cstdio>

#include "framework/base/log.h"
#include "framework/tl/TM.h"
#include "framework/widget/display_kinds.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_LABEL_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][label]", __VA_ARGS__)
#define WIDGET_LABEL_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][label]", fn, __VA_ARGS__)

namespace {

constexpr int32_t kDefaultWidth = 256;
constexpr int32_t kDefaultHeight = 32;
constexpr float kDefaultDepth = 1.0f;
constexpr const char* kTag = "LABEL";

// The sequence number makes the texture's name unique in the run, whatever
// NAME the document gave.
int NameTexture(widget_t* w) {
  char name[32];
  std::snprintf(name, sizeof name, "label-%d", w->seq);
  return wdgSetString(&w->name, name);
}

// Whether the cache holds the label's bitmap, that is whether it was shown.
bool Uploaded(const widget_t* w) {
  const TM_Node_t* node = w->name && w->bitmap ? tmFind(w->name) : nullptr;
  return node && node->bitmap == w->bitmap;
}

// The bitmap keeps the size it was made with (a later wdgSetSize does not
// remake it), so the fill is measured on the bitmap itself. The colour is
// set on the font, which other widgets may share: it stays for their
// renders too.
void Render(widget_t* w) {
  if (!w->bitmap) return;
  wdgFillBitmap(w->bitmap->data[0], w->bitmap->sizes[0], w->style.bc);
  if (w->style.font) ftSetColor(w->style.font, wdgColorToInt(w->style.tc));
  wdgRenderText(w, w->style.font, nullptr);
  wdgUploadText(w);
}

// The part of the bitmap the text covers along one side, 0 to 1 (the
// renderer may report a text larger than the bitmap it drew into).
float Covered(int32_t extent, int32_t side) {
  if (extent <= 0 || side <= 0) return 0.0f;
  return extent >= side ? 1.0f : static_cast<float>(extent) / static_cast<float>(side);
}

// Leaves GL_BLEND on: the widgets drawn after a label inherit it.
void Draw(const widget_t* w) {
  if (!w->bitmap) return;
  const int32_t tw = std::max(w->text_width, 0);
  const int32_t th = std::max(w->text_height, 0);
  const float s = Covered(tw, w->bitmap->width);
  const float t = Covered(th, w->bitmap->height);
  const double top = wdgTop(w);
  const double bottom = top - th;
  const double left = w->x;
  const double right = left + tw;
  wmGL.glEnable(GL_TEXTURE_2D);
  // Without its texture (an upload refused) the label would draw whatever
  // texture is bound.
  if (tmBind(w->name) != 0) return;
  wmGL.glEnable(GL_BLEND);
  wmGL.glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
  wmGL.glColor4fv(w->style.tc);
  wdgTexturedQuad(left, top, right, bottom, s, t);
}

}  // namespace

int widget_label_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_LABEL;
  w->width = kDefaultWidth;
  w->height = kDefaultHeight;
  w->depth = kDefaultDepth;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  FR_Font_t* font = nullptr;
  if (wdgResolveFont(w, &font) != 0) {
    WIDGET_LABEL_LOG_AS(SYS_DBG_MSG, "widget_init", "  ! font id not found.\n");
    return -1;
  }
  w->style.font = font;
  if (NameTexture(w) != 0 || wdgMakeTextBitmap(w, w->width, w->height) != 0) return -1;
  WIDGET_LABEL_LOG_AS(SYS_DBG_MSG, "widget_init",
                      "  - new widget: %s (%d) : %d, %d, %d %dx%d title: '%s'\n"
                      "   - texture id: %s\n",
                      kTag, w->kind, w->x, w->y, w->seq, w->text_width, w->text_height, wdgLogText(w->title), w->name);
  return 0;
}

int widget_label_event(widget_t* w, wm_event_t* e) {
  if (!w || !e) return 0;
  switch (e->type) {
    case WDG_EVENT_SHOW:
      Render(w);
      return 0;
    case WDG_EVENT_CHANGED:
      // Before the first show there is nothing to replace; the show renders.
      if (Uploaded(w)) Render(w);
      return 0;
    case WDG_EVENT_DRAW:
      if (w->visible) Draw(w);
      return 0;
    case WDG_EVENT_DESTROY:
      wdgReleaseText(w);
      return 0;
    default:
      return 0;
  }
}
