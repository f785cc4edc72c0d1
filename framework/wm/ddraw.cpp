// The adapter queries: video memory through DirectDraw, the adapter name
// through Direct3D 9. Both libraries are loaded only for this.
#include <cstring>

#include "framework/base/dl.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/wm/ddraw.h"
#include "framework/wm/wm_internal.h"

#define WM_DDRAW_LOG(level, ...) SYS_LOG_TAGGED(level, "[wm][ddraw]", __VA_ARGS__)

namespace {

const wm_dd_loader_t kFrameworkLoader = {SYS_DlOpen, SYS_DlGetProc, SYS_DlClose};
const wm_dd_loader_t* loader = &kFrameworkLoader;

void* d3dLib = nullptr;
void* ddLib = nullptr;
DirectDrawCreate_t directDrawCreate = nullptr;
DirectDrawEnumerateExA_t directDrawEnumerateExA = nullptr;
Direct3DCreate9_t direct3DCreate9 = nullptr;

template <class F>
F Proc(void* library, const char* name) {
  void* p = library ? loader->getProc(library, name) : nullptr;
  F f;
  static_assert(sizeof f == sizeof p);
  std::memcpy(&f, &p, sizeof f);
  return f;
}

char* CopyText(const char* text) {
  size_t n = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(SYS_MemGet(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

// A text field of a driver record, read no further than its size.
char* CopyField(const char* field, size_t size) {
  size_t n = strnlen(field, size);
  auto* copy = static_cast<char*>(SYS_MemGet(n + 1));
  if (copy) {
    std::memcpy(copy, field, n);
    copy[n] = 0;
  }
  return copy;
}

}  // namespace

void ddSetLoader(const wm_dd_loader_t* replacement) { loader = replacement ? replacement : &kFrameworkLoader; }

int ddInit(void) {
  WM_DDRAW_LOG(SYS_DBG_MSG, " lib: d3d9.dll ...\n");
  d3dLib = loader->open("d3d9.dll");
  if (d3dLib)
    WM_DDRAW_LOG(SYS_DBG_MSG, " ...loaded.\n");
  else
    WM_DDRAW_LOG(SYS_DBG_MSG, " ...failed.\n");
  WM_DDRAW_LOG(SYS_DBG_MSG, " lib: DDraw.dll ...\n");
  ddLib = loader->open("ddraw.dll");
  if (!ddLib) {
    WM_DDRAW_LOG(SYS_DBG_MSG, " ...failed\n");
    return 1;
  }
  WM_DDRAW_LOG(SYS_DBG_MSG, " ...loaded.\n");
  WM_DDRAW_LOG(SYS_DBG_MSG, " %s: %p\n", "ddLib", ddLib);
  directDrawCreate = Proc<DirectDrawCreate_t>(ddLib, "DirectDrawCreate");
  directDrawEnumerateExA = Proc<DirectDrawEnumerateExA_t>(ddLib, "DirectDrawEnumerateExA");
  direct3DCreate9 = Proc<Direct3DCreate9_t>(d3dLib, "Direct3DCreate9");
  if (!directDrawCreate || !directDrawEnumerateExA) {
    WM_DDRAW_LOG(SYS_DBG_MSG, " DirectDrawCreate function not found.\n");
    return 1;
  }
  return 0;
}

int ddCheckVideoMemory(void) {
  if (!directDrawCreate) return 0;
  IDirectDraw* dd = nullptr;
  HRESULT r = directDrawCreate(DDCREATE_HARDWAREONLY, &dd, nullptr);
  if (r != DD_OK || !dd) {
    WM_DDRAW_LOG(SYS_DBG_MSG, " Could not create Direct Draw Instance (%d)\n", r);
    return 0;
  }
  DDCAPS caps;
  std::memset(&caps, 0, sizeof caps);
  caps.dwSize = sizeof caps;
  r = dd->lpVtbl->GetCaps(dd, &caps, nullptr);
  if (r != DD_OK) {
    WM_DDRAW_LOG(SYS_DBG_MSG, " Could not get caps (%d)\n", r);
    dd->lpVtbl->Release(dd);
    return 0;
  }
  WM_DDRAW_LOG(SYS_DBG_MSG, " Total video memory: %d MB\n", static_cast<int>(caps.dwVidMemTotal >> 20));
  WM_DDRAW_LOG(SYS_DBG_MSG, " Free video memory: %d MB\n", static_cast<int>(caps.dwVidMemFree >> 20));
  dd->lpVtbl->Release(dd);
  return static_cast<int>(caps.dwVidMemTotal / 1048576u);
}

char* ddGetDriverName(void) {
  if (!d3dLib || !direct3DCreate9) return CopyText("Unknown");
  IDirect3D9* d3d = direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d) return CopyText("Unknown");
  UINT count = d3d->lpVtbl->GetAdapterCount(d3d);
  WM_DDRAW_LOG(SYS_DBG_MSG, " Direct3D adapters: %d\n", static_cast<int>(count));
  D3DADAPTER_IDENTIFIER9 id;
  for (UINT i = 0; i < count; ++i) {
    std::memset(&id, 0, sizeof id);
    d3d->lpVtbl->GetAdapterIdentifier(d3d, i, 0, &id);
    id.Description[sizeof id.Description - 1] = 0;
    id.Driver[sizeof id.Driver - 1] = 0;
    WM_DDRAW_LOG(SYS_DBG_MSG, "  - %d: %s (%s)\n", static_cast<int>(i), id.Description, id.Driver);
  }
  char* name = nullptr;
  std::memset(&id, 0, sizeof id);
  if (count > 0 && d3d->lpVtbl->GetAdapterIdentifier(d3d, 0, 0, &id) == DD_OK)
    name = CopyField(id.Description, sizeof id.Description);
  d3d->lpVtbl->Release(d3d);
  return name ? name : CopyText("Unknown");
}

int ddDone(void) {
  errClear();
  WM_DDRAW_LOG(SYS_DBG_MSG, " %s: %p\n", "d3dLib", d3dLib);
  WM_DDRAW_LOG(SYS_DBG_MSG, " %s: %p\n", "ddLib", ddLib);
  if (d3dLib) loader->close(d3dLib);
  if (ddLib) loader->close(ddLib);
  d3dLib = nullptr;
  ddLib = nullptr;
  directDrawCreate = nullptr;
  directDrawEnumerateExA = nullptr;
  direct3DCreate9 = nullptr;
  return 0;
}
