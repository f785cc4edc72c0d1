// Pieces shared by the kinds that show things or provide resources (IMG,
// LABEL, FONT, STYLE); the kinds log for themselves.
#pragma once
#include <cstdint>

#include "framework/base/log.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

namespace wdgkind {

inline constexpr uint32_t kWhite = 0xFFFFFFFFu;
inline constexpr int32_t kWeightBold = 800;
inline constexpr int32_t kWeightRegular = 100;

// A size left out (0) would render at FreeType's smallest size, one pixel,
// which shows nothing: such fonts take the renderer's default size.
inline int32_t RenderSize(int32_t size) { return size > 0 ? size : FR_DEFAULT_SIZE; }

// Makes the widget's own font from its style block (encoding, size, bold,
// italic) and puts it into the block, where the widgets that name or copy
// it find it. A face that is not registered leaves the font without one
// and its texts blank. 0, or -1 with code 5 (ftNewFont also refuses an
// encoding it does not know).
inline int MakeOwnedFont(widget_t* w, const char* faceName, int32_t halign, int32_t valign) {
  const widget_style_t& s = w->style;
  FR_Font_t* font = ftNewFont(s.font_encoding, kWhite, halign, valign);
  if (!font) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  w->owned_font = font;
  w->style.font = font;
  ftSetFont(font, faceName ? faceName : "", RenderSize(s.font_size), s.font_bold ? kWeightBold : kWeightRegular,
            s.font_italic);
  return 0;
}

}  // namespace wdgkind
