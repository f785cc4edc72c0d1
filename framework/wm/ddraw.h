// The few DirectDraw and Direct3D 9 shapes the adapter queries use, laid out
// as those interfaces are, so a present library (or a test's fake) can
// answer. On this platform neither library exists and the queries take
// their failure path.
#pragma once
#include <cstdint>

#include "platform/win32.h"

typedef int32_t HRESULT;
#define DD_OK 0
#define D3D_SDK_VERSION 31
// The driver identifier that asks for the hardware-only driver object.
#define DDCREATE_HARDWAREONLY (reinterpret_cast<void*>(static_cast<uintptr_t>(2)))

struct DDCAPS {
  DWORD dwSize;
  DWORD dwCapsBefore[14];  // capability words before the memory figures
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
  BYTE rest[380 - 68];
};
static_assert(sizeof(DDCAPS) == 380, "the capability record keeps its size");

struct IDirectDraw;
struct IDirectDrawVtbl {
  HRESULT (*QueryInterface)(IDirectDraw*, const void*, void**);
  DWORD (*AddRef)(IDirectDraw*);
  DWORD (*Release)(IDirectDraw*);
  void* unused[8];  // Compact ... FlipToGDISurface
  HRESULT (*GetCaps)(IDirectDraw*, DDCAPS* driver, DDCAPS* emulation);
};
struct IDirectDraw {
  const IDirectDrawVtbl* lpVtbl;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512];
  char Description[512];
  char DeviceName[32];
  int64_t DriverVersion;
  DWORD VendorId, DeviceId, SubSysId, Revision;
  BYTE DeviceIdentifier[16];
  DWORD WHQLLevel;
};

struct IDirect3D9;
struct IDirect3D9Vtbl {
  HRESULT (*QueryInterface)(IDirect3D9*, const void*, void**);
  DWORD (*AddRef)(IDirect3D9*);
  DWORD (*Release)(IDirect3D9*);
  HRESULT (*RegisterSoftwareDevice)(IDirect3D9*, void*);
  UINT (*GetAdapterCount)(IDirect3D9*);
  HRESULT (*GetAdapterIdentifier)(IDirect3D9*, UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id);
};
struct IDirect3D9 {
  const IDirect3D9Vtbl* lpVtbl;
};

typedef HRESULT (*DirectDrawCreate_t)(void* guid, IDirectDraw** out, void* outer);
typedef HRESULT (*DirectDrawEnumerateExA_t)(void* callback, void* context, DWORD flags);
typedef IDirect3D9* (*Direct3DCreate9_t)(UINT sdkVersion);
