// The IMG widget: an image file drawn as one textured quad tinted with the
// foreground colour, which reports the mouse over it to its callback in
// coordinates of its own.
// Kept differences:
// - the callback gets a copy of the event in local coordinates; the record
//   itself is left alone (rewritten in place, a later widget was hit-tested
//   in IMG coordinates: a plainly wrong result).
// - an image whose texture cannot be bound is not drawn (the quad would
//   show whatever texture was bound before: a plainly wrong result).
#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "framework/tl/TM.h"
#include "framework/widget/display_kinds.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_IMG_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][img]", __VA_ARGS__)
#define WIDGET_IMG_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][img]", fn, __VA_ARGS__)

namespace {

constexpr float kDefaultAspect = 1.0f;
constexpr const char* kTag = "IMG";

// A size given only by its width takes its height from the image's shape,
// scaled by the aspect; no size at all takes the image's own.
void FitToImage(widget_t* w, const txBitmap& image) {
  if (w->width == 0 && w->height == 0) {
    w->width = image.width;
    w->height = image.height;
  } else if (w->height == 0) {
    const float height = static_cast<float>(w->width) / static_cast<float>(image.width) *
                         static_cast<float>(image.height) * w->aspect;
    w->height = SYS_TruncInt32(height);
  } else if (w->width == 0) {
    w->width = image.width;
  }
}

void ShowImage(widget_t* w) {
  w->bitmap = wdgAcquireImage(w, w->src, w->bg_filter);
  if (!w->bitmap) {
    // The widget keeps its size and draws nothing; the rest of the dialog goes on.
    WIDGET_IMG_LOG_AS(SYS_DBG_MSG, "widget_img_event", "  ! cannot load image: %s\n", w->src);
    return;
  }
  FitToImage(w, *w->bitmap);
}

void DrawImage(const widget_t* w) {
  const double top = wdgTop(w);
  const double bottom = top - w->height;
  const double left = w->x;
  const double right = left + w->width;
  wmGL.glEnable(GL_TEXTURE_2D);
  // A source changed since the show is not loaded: drawing the texture
  // bound before would show another widget's image.
  if (tmBind(w->src) != 0) return;
  wmGL.glEnable(GL_BLEND);
  wmGL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  wmGL.glColor4fv(w->style.fc);
  wdgTexturedQuad(left, top, right, bottom, 1, 1);
  wmGL.glDisable(GL_BLEND);
}

int32_t Local(int32_t position, int32_t corner) { return SYS_TruncInt32(static_cast<double>(position) - corner - 1); }

// The callback hears of the mouse relative to the image; the record itself
// stays in window coordinates, so the widgets after this one hit-test it as
// the window manager sent it.
int Mouse(widget_t* w, wm_event_t* e) {
  if (!w->visible || w->disabled == 1) return 0;
  w->hover = 0;
  if (!wdgMouseInside(w, e)) return 0;
  w->hover = 1;
  if (w->callback) {
    wm_event_t local = *e;
    local.mouse.x = Local(e->mouse.x, w->x);
    local.mouse.y = Local(e->mouse.y, w->y);
    w->callback(w, &local);
  }
  return 1;
}

}  // namespace

int widget_img_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_IMG;
  w->aspect = kDefaultAspect;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  if (!w->src) WIDGET_IMG_LOG_AS(SYS_DBG_MSG, "widget_init", "  ! widget_img: texture is not defined.\n");
  WIDGET_IMG_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : %s %d, %d, %d %dx%d %d\n", kTag, w->kind,
                    wdgLogText(w->src), w->x, w->y, w->seq, w->width, w->height, w->bg_filter);
  return 0;
}

int widget_img_event(widget_t* w, wm_event_t* e) {
  if (!w || !e) return 0;
  switch (e->type) {
    case WM_EVENT_MOUSE:
      return Mouse(w, e);
    case WDG_EVENT_DRAW:
      if (w->visible && w->src && w->bitmap) DrawImage(w);
      return 0;
    case WDG_EVENT_SHOW:
      if (w->visible && w->src) ShowImage(w);
      return 0;
    case WDG_EVENT_DESTROY:
      wdgReleaseImage(w);
      w->bitmap = nullptr;
      return 0;
    default:
      return 0;
  }
}
