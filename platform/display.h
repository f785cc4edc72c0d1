// Display settings over XRandR, the screen saver and monitor power-off over
// the X screen-saver and DPMS extensions.
//
// A changed display mode and a changed power-off setting are put back when
// the process ends, however it ends: a small guardian process, started at the
// first change, restores them once our end of its pipe closes. The screen
// saver is suspended per client, so the server lifts that by itself when our
// connection goes.
#pragma once
#include "platform/window.h"

struct DEVMODEA {
  BYTE dmDeviceName[32];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  BYTE dmPrinterOrDisplayFields[16];  // printer fields or display position, unused here
  short dmColor;
  short dmDuplex;
  short dmYResolution;
  short dmTTOption;
  short dmCollate;
  BYTE dmFormName[32];
  WORD dmLogPixels;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmDisplayFlags;
  DWORD dmDisplayFrequency;
  DWORD dmICMMethod;
  DWORD dmICMIntent;
  DWORD dmMediaType;
  DWORD dmDitherType;
  DWORD dmReserved1;
  DWORD dmReserved2;
  DWORD dmPanningWidth;
  DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODEA) == 156, "the record keeps its Windows size");

#define DM_BITSPERPEL 0x00040000u
#define DM_PELSWIDTH 0x00080000u
#define DM_PELSHEIGHT 0x00100000u
#define DM_DISPLAYFREQUENCY 0x00400000u
#define ENUM_CURRENT_SETTINGS (static_cast<DWORD>(-1))
#define CDS_FULLSCREEN 0x00000004u

#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_RESTART 1
#define DISP_CHANGE_FAILED (-1)
#define DISP_CHANGE_BADMODE (-2)
#define DISP_CHANGE_NOTUPDATED (-3)
#define DISP_CHANGE_BADFLAGS (-4)
#define DISP_CHANGE_BADPARAM (-5)

#define SPI_GETSCREENSAVEACTIVE 0x0010u
#define SPI_SETSCREENSAVEACTIVE 0x0011u
#define SPI_GETPOWEROFFACTIVE 0x0054u
#define SPI_SETPOWEROFFACTIVE 0x0056u

// Index i lists the i-th mode the display offers (every size at each of its
// rates); ENUM_CURRENT_SETTINGS gives the mode in use. A 24-bit-deep screen
// reports 32 bits per pixel, its framebuffer format.
BOOL EnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA* mode);
// A null mode goes back to the mode the process found at its start.
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);
// Getting: pv points to a BOOL. Setting: the new value is param.
BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID pv, UINT winIni);

namespace plat {

struct DisplayMode {
  int width = 0, height = 0, bits = 0, frequency = 0;
};

// Where display modes come from; tests install a fake.
class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  virtual bool Current(DisplayMode& mode) = 0;
  virtual bool Mode(DWORD index, DisplayMode& mode) = 0;
  // Returns a DISP_CHANGE_* code.
  virtual LONG Change(const DisplayMode& mode, bool matchFrequency) = 0;
  virtual LONG Restore() = 0;
};

// The screen saver and power-off settings; tests install a fake.
class ScreenSaverBackend {
 public:
  virtual ~ScreenSaverBackend() = default;
  virtual bool GetScreenSaver(bool& active) = 0;
  virtual bool SetScreenSaver(bool active) = 0;
  virtual bool GetPowerOff(bool& active) = 0;
  virtual bool SetPowerOff(bool active) = 0;
};

// A null backend goes back to the X one.
void SetDisplayBackend(DisplayBackend* backend);
void SetScreenSaverBackend(ScreenSaverBackend* backend);

}  // namespace plat
