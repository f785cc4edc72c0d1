// The BUTTON widget: a push button, either a bordered box with its title
// centred in it, or (with SRC) an image holding four frames of equal height
// stacked from the top: normal, mouse over, pressed, disabled.
#include "framework/base/log.h"
#include "framework/tl/TM.h"
#include "framework/widget/widget-input.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_BUTTON_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][button]", __VA_ARGS__)
#define WIDGET_BUTTON_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][button]", fn, __VA_ARGS__)

namespace {

constexpr int32_t kImageFrames = 4;
constexpr float kFrameShare = 1.0f / kImageFrames;  // of the image's height
enum ImageFrame : int32_t { kFrameNormal = 0, kFrameHover = 1, kFramePressed = 2, kFrameDisabled = 3 };

// An image button never makes a text bitmap.
bool IsImageButton(const widget_t* w) { return w->bitmap == nullptr; }

ImageFrame FrameOf(const widget_t* w) {
  if (w->disabled) return kFrameDisabled;
  if (w->pressed) return kFramePressed;
  if (w->hover) return kFrameHover;
  return kFrameNormal;
}

// The button takes the size of one frame; a missing image leaves the size
// as the attributes gave it.
void ShowImage(widget_t* w) {
  const txBitmap* image = wdgAcquireImage(w, w->src, TM_MODE_LINEAR);
  if (!image) {
    WIDGET_BUTTON_LOG(SYS_DBG_MSG, "  ! button texture not loaded: %s\n", w->src);
    return;
  }
  w->width = image->width;
  w->height = image->height / kImageFrames;
}

void DrawImage(widget_t* w) {
  if (tmBind(w->src) != 0) return;  // an image that could not be loaded draws nothing
  wmGL.glDisable(GL_BLEND);
  wmGL.glColor4fv(w->style.fc);
  float v = static_cast<float>(FrameOf(w)) * kFrameShare;
  double left = w->x, right = static_cast<double>(w->x) + w->width;
  double top = wdgTop(w), bottom = top - w->height;
  wmGL.glBegin(GL_QUADS);
  wmGL.glTexCoord2f(0.0f, v + kFrameShare);
  wmGL.glVertex2d(left, bottom);
  wmGL.glTexCoord2f(0.0f, v);
  wmGL.glVertex2d(left, top);
  wmGL.glTexCoord2f(1.0f, v);
  wmGL.glVertex2d(right, top);
  wmGL.glTexCoord2f(1.0f, v + kFrameShare);
  wmGL.glVertex2d(right, bottom);
  wmGL.glEnd();
}

void DrawLabelled(widget_t* w) {
  wmGL.glDisable(GL_BLEND);
  wmGL.glDisable(GL_TEXTURE_2D);
  wdgDrawBackground(w);
  wdgDrawBorder(w);
  wdgDrawText(wdgCentredX(w->x, w->width, w->text_width, 0), wdgCentredY(wdgTop(w), w->height, w->text_height, 0),
              w);
}

void Destroy(widget_t* w) {
  if (IsImageButton(w))
    wdgReleaseImage(w);
  else
    wdgReleaseText(w);
}

}  // namespace

int widget_button_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_BUTTON;
  w->aspect = 1.0f;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  if (w->src) {
    WIDGET_BUTTON_LOG_AS(SYS_DBG_MSG, "widget_init", "  button texture: %s\n", w->src);
  } else if (wdgSetUpLabel(w, "button", SYS_SrcName(__FILE__), __LINE__) != 0) {
    return -1;
  }
  WIDGET_BUTTON_LOG_AS(SYS_DBG_MSG, "widget_init",
                       "  - new widget: %s (%d) : %s %d, %d, %d %dx%d fontid: %d '%s' '%s' "
                       "%dx%d\n",
                       wdgKinds[WDG_KIND_BUTTON]->tag, w->kind, wdgLogText(w->bg), w->x, w->y, w->seq, w->width,
                       w->height, w->font_id, wdgLogText(w->title), wdgLogText(w->name), w->text_width, w->text_height);
  return 0;
}

int widget_button_event(widget_t* w, wm_event_t* e) {
  switch (e->type) {
    case WM_EVENT_MOUSE:
      return wdgPressMouse(w, e);
    case WDG_EVENT_DRAW:
      if (!w->visible) return 0;
      if (IsImageButton(w))
        DrawImage(w);
      else
        DrawLabelled(w);
      return 0;
    case WDG_EVENT_SHOW:
      if (w->visible && IsImageButton(w) && w->src) ShowImage(w);
      return 0;
    case WDG_EVENT_CHANGED:
      if (IsImageButton(w)) return 0;
      wdgRenderLabelAgain(w);
      wdgUploadText(w);
      return 0;
    case WDG_EVENT_DESTROY:
      Destroy(w);
      return 0;
    default:
      return 0;
  }
}
