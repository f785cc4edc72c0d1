// The message box on an X display: the text in lines, one to three buttons,
// modal until a button, Return, Escape or the close button answers it.
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/user.h"
#include "platform/x11.h"

namespace {

constexpr int kPad = 16;
constexpr int kButtonW = 80;
constexpr int kButtonH = 26;

struct Button {
  const char* label;
  int answer;
  int x = 0, y = 0;
};

std::vector<std::string> Lines(const char* text) {
  std::vector<std::string> out(1);
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\n')
      out.emplace_back();
    else if (*p != '\r')
      out.back() += *p;
  }
  return out;
}

std::vector<Button> ButtonsFor(UINT type) {
  switch (type & 0x0Fu) {
    case MB_OKCANCEL: return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
    case MB_YESNO: return {{"Yes", IDYES}, {"No", IDNO}};
    default: return {{"OK", IDOK}};
  }
}

// What Escape and the close button answer.
int CancelAnswer(UINT type) {
  switch (type & 0x0Fu) {
    case MB_OKCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    default: return IDOK;
  }
}

class Box {
 public:
  Box(Display* d, const char* text, const char* caption, UINT type)
      : d_(d), lines_(Lines(text)), buttons_(ButtonsFor(type)), cancel_(CancelAnswer(type)) {
    font_ = XLoadQueryFont(d_, "fixed");
    int lineH = font_ ? font_->ascent + font_->descent + 2 : 14;
    int textW = 0;
    for (const auto& l : lines_) textW = std::max(textW, TextWidth(l));
    int buttonsW = static_cast<int>(buttons_.size()) * (kButtonW + kPad) - kPad;
    width_ = std::max(textW, buttonsW) + 2 * kPad;
    width_ = std::max(width_, 240);
    height_ = kPad + static_cast<int>(lines_.size()) * lineH + kPad + kButtonH + kPad;
    lineH_ = lineH;
    int x = (width_ - buttonsW) / 2;
    for (auto& b : buttons_) {
      b.x = x;
      b.y = height_ - kPad - kButtonH;
      x += kButtonW + kPad;
    }
    int screen = DefaultScreen(d_);
    ::Window root = RootWindow(d_, screen);
    int sx = (DisplayWidth(d_, screen) - width_) / 2;
    int sy = (DisplayHeight(d_, screen) - height_) / 2;
    win_ = XCreateSimpleWindow(d_, root, sx, sy, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 1,
                               BlackPixel(d_, screen), WhitePixel(d_, screen));
    XSelectInput(d_, win_, ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
    XStoreName(d_, win_, caption ? caption : "");
    deleteAtom_ = XInternAtom(d_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d_, win_, &deleteAtom_, 1);
    XSizeHints* hints = XAllocSizeHints();
    if (hints) {
      hints->flags = PMinSize | PMaxSize | PPosition;
      hints->x = sx;
      hints->y = sy;
      hints->min_width = hints->max_width = width_;
      hints->min_height = hints->max_height = height_;
      XSetWMNormalHints(d_, win_, hints);
      XFree(hints);
    }
    gc_ = XCreateGC(d_, win_, 0, nullptr);
    if (font_) XSetFont(d_, gc_, font_->fid);
    XMapRaised(d_, win_);
    XFlush(d_);
  }
  ~Box() {
    XFreeGC(d_, gc_);
    XDestroyWindow(d_, win_);
    if (font_) XFreeFont(d_, font_);
    XFlush(d_);
  }
  Box(const Box&) = delete;
  Box& operator=(const Box&) = delete;

  int Run() {
    for (;;) {
      XEvent ev;
      // Only our own events: the other windows' stay queued for their pump.
      XIfEvent(d_, &ev, IsFor, reinterpret_cast<XPointer>(&win_));
      if (ev.type == Expose && ev.xexpose.count == 0) Draw();
      if (ev.type == MapNotify) XSetInputFocus(d_, win_, RevertToParent, CurrentTime);
      if (ev.type == KeyPress) {
        KeySym key = XLookupKeysym(&ev.xkey, 0);
        if (key == XK_Return || key == XK_KP_Enter || key == XK_space) return buttons_.front().answer;
        if (key == XK_Escape) return cancel_;
      }
      if (ev.type == ButtonPress && ev.xbutton.button == 1) {
        for (const auto& b : buttons_)
          if (ev.xbutton.x >= b.x && ev.xbutton.x < b.x + kButtonW && ev.xbutton.y >= b.y &&
              ev.xbutton.y < b.y + kButtonH)
            return b.answer;
      }
      if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == deleteAtom_) return cancel_;
    }
  }

 private:
  static Bool IsFor(Display*, XEvent* e, XPointer arg) {
    return e->xany.window == *reinterpret_cast<::Window*>(arg) ? True : False;
  }
  int TextWidth(const std::string& s) const {
    return font_ ? XTextWidth(font_, s.c_str(), static_cast<int>(s.size())) : static_cast<int>(s.size()) * 7;
  }
  void Draw() {
    int screen = DefaultScreen(d_);
    XSetForeground(d_, gc_, BlackPixel(d_, screen));
    int y = kPad + (font_ ? font_->ascent : 11);
    for (const auto& l : lines_) {
      XDrawString(d_, win_, gc_, kPad, y, l.c_str(), static_cast<int>(l.size()));
      y += lineH_;
    }
    for (const auto& b : buttons_) {
      XDrawRectangle(d_, win_, gc_, b.x, b.y, kButtonW, kButtonH);
      std::string label = b.label;
      int tx = b.x + (kButtonW - TextWidth(label)) / 2;
      int ty = b.y + kButtonH / 2 + (font_ ? (font_->ascent - font_->descent) / 2 : 4);
      XDrawString(d_, win_, gc_, tx, ty, label.c_str(), static_cast<int>(label.size()));
    }
    XFlush(d_);
  }

  Display* d_;
  std::vector<std::string> lines_;
  std::vector<Button> buttons_;
  int cancel_;
  XFontStruct* font_ = nullptr;
  ::Window win_ = 0;
  GC gc_ = nullptr;
  Atom deleteAtom_ = 0;
  int width_ = 0, height_ = 0, lineH_ = 14;
};

int ShowOnDisplay(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  Display* d = plat::x11::Connection();
  if (!d) return 0;
  Box box(d, text, caption, type);
  return box.Run();
}

}  // namespace

namespace plat {
void InstallX11MessageBox() { SetMessageBoxHook(ShowOnDisplay); }
}  // namespace plat
