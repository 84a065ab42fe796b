// The subset of Direct3D 9 that Scanvane uses, for builds outside Windows:
// the three interfaces with the methods the presentation calls, and the types
// and values they take. Implemented by the SDL layer in software.
#pragma once
#include <windows.h>

#define D3D_SDK_VERSION 32
#define D3D_OK 0
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086CL)
#define D3DERR_NOTAVAILABLE ((HRESULT)0x8876086AL)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)

#define D3DADAPTER_DEFAULT 0
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040L
#define D3DPRESENT_INTERVAL_ONE 0x00000001
#define D3DCLEAR_TARGET 0x00000001L
#define D3DLOCK_DISCARD 0x2000
#define D3DFVF_XYZRHW 0x004
#define D3DFVF_DIFFUSE 0x040
#define D3DFVF_TEX1 0x100

#define STDMETHODCALLTYPE

typedef DWORD D3DCOLOR;

typedef enum _D3DFORMAT {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_X8R8G8B8 = 22,
} D3DFORMAT;

typedef enum _D3DDEVTYPE { D3DDEVTYPE_HAL = 1 } D3DDEVTYPE;
typedef enum _D3DPOOL { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1 } D3DPOOL;
typedef enum _D3DMULTISAMPLE_TYPE { D3DMULTISAMPLE_NONE = 0 } D3DMULTISAMPLE_TYPE;
typedef enum _D3DSWAPEFFECT { D3DSWAPEFFECT_DISCARD = 1 } D3DSWAPEFFECT;
typedef enum _D3DPRIMITIVETYPE { D3DPT_TRIANGLELIST = 4 } D3DPRIMITIVETYPE;

typedef struct _D3DPRESENT_PARAMETERS_ {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
} D3DPRESENT_PARAMETERS;

typedef struct _D3DLOCKED_RECT {
    INT Pitch;
    void *pBits;
} D3DLOCKED_RECT;

typedef struct _D3DRECT {
    LONG x1, y1, x2, y2;
} D3DRECT;

typedef struct _RGNDATA RGNDATA;

struct IUnknown {
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IDirect3DBaseTexture9 : public IUnknown {};

struct IDirect3DTexture9 : public IDirect3DBaseTexture9 {
    virtual HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT *lockedRect, const RECT *rect,
                                               DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) = 0;
};

struct IDirect3DDevice9 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                                    D3DFORMAT format, D3DPOOL pool,
                                                    IDirect3DTexture9 **texture, HANDLE *sharedHandle) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginScene() = 0;
    virtual HRESULT STDMETHODCALLTYPE EndScene() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear(DWORD rectCount, const D3DRECT *rects, DWORD flags,
                                            D3DCOLOR colour, float z, DWORD stencil) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9 *texture) = 0;
    virtual HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                                      const void *vertices, UINT stride) = 0;
    virtual HRESULT STDMETHODCALLTYPE Present(const RECT *sourceRect, const RECT *destRect,
                                              HWND destWindowOverride, const RGNDATA *dirtyRegion) = 0;
};

struct IDirect3D9 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                                   DWORD behaviourFlags, D3DPRESENT_PARAMETERS *parameters,
                                                   IDirect3DDevice9 **device) = 0;
};

IDirect3D9 *WINAPI Direct3DCreate9(UINT sdkVersion);
