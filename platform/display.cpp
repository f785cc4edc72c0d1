// Display modes over XRandR's screen configurations and the screen-saver
// settings over the screen-saver and DPMS extensions.
#include "platform/display.h"

#include <X11/extensions/Xrandr.h>
#include <X11/extensions/scrnsaver.h>

#include <cstring>
#include <memory>

#include "platform/kernel.h"
#include "platform/restore.h"
#include "platform/x11.h"

namespace {

// Frames are 32 bits wide on a 24-bit-deep screen.
int BitsPerPixel(Display* d) {
  int depth = DefaultDepth(d, DefaultScreen(d));
  return depth == 24 ? 32 : depth;
}

class RandrBackend final : public plat::DisplayBackend {
 public:
  bool Current(plat::DisplayMode& mode) override {
    Display* d = plat::x11::Connection();
    if (!d) return false;
    Config c(d);
    mode.bits = BitsPerPixel(d);
    if (!c.conf) {
      // No RandR: the screen's own size, rate unknown.
      mode.width = DisplayWidth(d, DefaultScreen(d));
      mode.height = DisplayHeight(d, DefaultScreen(d));
      mode.frequency = 0;
      return true;
    }
    Rotation rotation = 0;
    SizeID size = XRRConfigCurrentConfiguration(c.conf, &rotation);
    int nsizes = 0;
    XRRScreenSize* sizes = XRRConfigSizes(c.conf, &nsizes);
    if (!sizes || size >= nsizes) return false;
    mode.width = sizes[size].width;
    mode.height = sizes[size].height;
    mode.frequency = XRRConfigCurrentRate(c.conf);
    return true;
  }

  bool Mode(DWORD index, plat::DisplayMode& mode) override {
    Display* d = plat::x11::Connection();
    if (!d) return false;
    Config c(d);
    if (!c.conf) return index == 0 && Current(mode);
    int nsizes = 0;
    XRRScreenSize* sizes = XRRConfigSizes(c.conf, &nsizes);
    DWORD i = 0;
    for (int s = 0; s < nsizes; ++s) {
      int nrates = 0;
      short* rates = XRRConfigRates(c.conf, s, &nrates);
      int entries = nrates > 0 ? nrates : 1;  // a size without rates is listed once, at 0 Hz
      for (int r = 0; r < entries; ++r, ++i) {
        if (i != index) continue;
        mode.width = sizes[s].width;
        mode.height = sizes[s].height;
        mode.bits = BitsPerPixel(d);
        mode.frequency = nrates > 0 ? rates[r] : 0;
        return true;
      }
    }
    return false;
  }

  LONG Change(const plat::DisplayMode& mode, bool matchFrequency) override {
    Display* d = plat::x11::Connection();
    if (!d) return DISP_CHANGE_FAILED;
    if (mode.bits != 0 && mode.bits != BitsPerPixel(d)) return DISP_CHANGE_BADMODE;
    Config c(d);
    if (!c.conf) return DISP_CHANGE_BADMODE;
    int nsizes = 0;
    XRRScreenSize* sizes = XRRConfigSizes(c.conf, &nsizes);
    Rotation rotation = 0;
    SizeID current = XRRConfigCurrentConfiguration(c.conf, &rotation);
    short currentRate = XRRConfigCurrentRate(c.conf);
    for (int s = 0; s < nsizes; ++s) {
      if (sizes[s].width != mode.width || sizes[s].height != mode.height) continue;
      int nrates = 0;
      short* rates = XRRConfigRates(c.conf, s, &nrates);
      short rate = nrates > 0 ? rates[0] : 0;
      if (matchFrequency) {
        bool found = nrates == 0 && mode.frequency == 0;
        for (int r = 0; r < nrates && !found; ++r)
          if (rates[r] == mode.frequency) {
            rate = rates[r];
            found = true;
          }
        if (!found) return DISP_CHANGE_BADMODE;
      }
      if (s == current && (rate == currentRate || !matchFrequency)) return DISP_CHANGE_SUCCESSFUL;
      if (!remembered_) {
        original_ = {current, static_cast<int>(rotation), currentRate};
        plat::restore::RememberMode(original_.size, original_.rotation, original_.rate);
        remembered_ = true;
      }
      Status st = XRRSetScreenConfigAndRate(d, c.conf, DefaultRootWindow(d), static_cast<SizeID>(s), rotation,
                                            rate, CurrentTime);
      XSync(d, False);
      return st == Success ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
    }
    return DISP_CHANGE_BADMODE;
  }

  LONG Restore() override {
    Display* d = plat::x11::Connection();
    if (!d) return DISP_CHANGE_FAILED;
    if (!remembered_) return DISP_CHANGE_SUCCESSFUL;
    plat::restore::RestoreMode(d, original_.size, original_.rotation, original_.rate);
    return DISP_CHANGE_SUCCESSFUL;
  }

 private:
  struct Config {
    explicit Config(Display* d) {
      int eventBase = 0, errorBase = 0;
      if (XRRQueryExtension(d, &eventBase, &errorBase)) conf = XRRGetScreenInfo(d, DefaultRootWindow(d));
    }
    ~Config() {
      if (conf) XRRFreeScreenConfigInfo(conf);
    }
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;
    XRRScreenConfiguration* conf = nullptr;
  };
  struct Original {
    int size = 0, rotation = 0, rate = 0;
  };
  bool remembered_ = false;
  Original original_;
};

class XScreenSaverBackend final : public plat::ScreenSaverBackend {
 public:
  bool GetScreenSaver(bool& active) override {
    Display* d = plat::x11::Connection();
    int eventBase = 0, errorBase = 0;
    if (!d || !XScreenSaverQueryExtension(d, &eventBase, &errorBase)) return false;
    int timeout = 0, interval = 0, preferBlank = 0, allowExposures = 0;
    XGetScreenSaver(d, &timeout, &interval, &preferBlank, &allowExposures);
    active = timeout != 0 && !suspended_;
    return true;
  }
  bool SetScreenSaver(bool active) override {
    Display* d = plat::x11::Connection();
    int eventBase = 0, errorBase = 0;
    if (!d || !XScreenSaverQueryExtension(d, &eventBase, &errorBase)) return false;
    // Suspension belongs to our connection: the server lifts it when we go.
    XScreenSaverSuspend(d, active ? False : True);
    XFlush(d);
    suspended_ = !active;
    return true;
  }
  bool GetPowerOff(bool& active) override {
    if (!plat::restore::QueryPowerOff(plat::x11::Connection(), active)) return false;
    if (!remembered_) original_ = active;
    return true;
  }
  bool SetPowerOff(bool active) override {
    Display* d = plat::x11::Connection();
    bool now = false;
    if (!d || !plat::restore::QueryPowerOff(d, now)) return false;
    if (!remembered_) {
      // The server keeps this setting after we end: the guardian puts back
      // what we found.
      plat::restore::RememberPowerOff(original_ = now);
      remembered_ = true;
    }
    plat::restore::RestorePowerOff(d, active);
    return true;
  }

 private:
  bool suspended_ = false;
  bool remembered_ = false;
  bool original_ = false;
};

struct Backends {
  RandrBackend randr;
  XScreenSaverBackend saver;
  plat::DisplayBackend* display = nullptr;
  plat::ScreenSaverBackend* screenSaver = nullptr;
};

Backends& B() {
  static Backends& b = *std::make_unique<Backends>().release();
  return b;
}

plat::DisplayBackend& Display_() { return B().display ? *B().display : B().randr; }
plat::ScreenSaverBackend& Saver() { return B().screenSaver ? *B().screenSaver : B().saver; }

void Fill(DEVMODEA* out, const plat::DisplayMode& m) {
  WORD size = out->dmSize;
  std::memset(out, 0, sizeof *out);
  out->dmSize = size ? size : sizeof(DEVMODEA);
  out->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  out->dmBitsPerPel = static_cast<DWORD>(m.bits);
  out->dmPelsWidth = static_cast<DWORD>(m.width);
  out->dmPelsHeight = static_cast<DWORD>(m.height);
  out->dmDisplayFrequency = static_cast<DWORD>(m.frequency);
}

}  // namespace

namespace plat {
void SetDisplayBackend(DisplayBackend* backend) { B().display = backend; }
void SetScreenSaverBackend(ScreenSaverBackend* backend) { B().screenSaver = backend; }
}  // namespace plat

BOOL EnumDisplaySettingsA(LPCSTR, DWORD index, DEVMODEA* mode) {
  if (!mode) return FALSE;
  plat::DisplayMode m;
  bool ok = index == ENUM_CURRENT_SETTINGS ? Display_().Current(m) : Display_().Mode(index, m);
  if (!ok) return FALSE;
  Fill(mode, m);
  return TRUE;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD) {
  if (!mode) return Display_().Restore();
  if ((mode->dmFields & (DM_PELSWIDTH | DM_PELSHEIGHT)) != (DM_PELSWIDTH | DM_PELSHEIGHT))
    return DISP_CHANGE_BADMODE;
  plat::DisplayMode m;
  m.width = static_cast<int>(mode->dmPelsWidth);
  m.height = static_cast<int>(mode->dmPelsHeight);
  m.bits = (mode->dmFields & DM_BITSPERPEL) ? static_cast<int>(mode->dmBitsPerPel) : 0;
  bool matchFrequency = (mode->dmFields & DM_DISPLAYFREQUENCY) != 0;
  m.frequency = matchFrequency ? static_cast<int>(mode->dmDisplayFrequency) : 0;
  return Display_().Change(m, matchFrequency);
}

int GetDeviceCaps(HDC, int index) {
  plat::DisplayMode m;
  if (!Display_().Current(m)) return 0;
  switch (index) {
    case HORZRES: return m.width;
    case VERTRES: return m.height;
    case BITSPIXEL: return m.bits;
    case PLANES: return 1;
    case VREFRESH: return m.frequency;
    default: return 0;
  }
}

BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID pv, UINT) {
  bool value = false;
  switch (action) {
    case SPI_GETSCREENSAVEACTIVE:
    case SPI_GETPOWEROFFACTIVE: {
      if (!pv) return FALSE;
      bool ok = action == SPI_GETSCREENSAVEACTIVE ? Saver().GetScreenSaver(value) : Saver().GetPowerOff(value);
      if (!ok) return FALSE;
      *static_cast<BOOL*>(pv) = value ? TRUE : FALSE;
      return TRUE;
    }
    case SPI_SETSCREENSAVEACTIVE:
      return Saver().SetScreenSaver(param != 0) ? TRUE : FALSE;
    case SPI_SETPOWEROFFACTIVE:
      return Saver().SetPowerOff(param != 0) ? TRUE : FALSE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
