// Shows the frames: the colour buffer is the memory of one locked frame-sized
// texture, drawn as a full-window quad and presented; the counter text is
// printed over the presented image with GDI.
#include "platform/shell/shell.h"

#include <stdlib.h>
#include <string.h>

#include <new>

#include "app/platform.h"
#include "render/frame_size.h"

PresentationState Presentation;

struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

static const DWORD QuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x144

// Shows the box, then ends the process through the normal exit so exit
// handlers run. While the box is open no frame may run (see WindowProc).
static void GraphicsFailure(const char *text) {
    Presentation.failing = true;
    MessageBoxA(Shell.mainWindow, text, "Graphics failure", MB_OK);
    exit(1);
}

// The device, its back buffer and the frame texture, at the frame's size.
static void CreateDeviceAndTexture(FrameSize size) {
    Presentation.size = size;
    D3DPRESENT_PARAMETERS parameters;
    memset(&parameters, 0, sizeof parameters);
    parameters.BackBufferWidth = size.width;
    parameters.BackBufferHeight = size.height;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_ONE;

    HRESULT result = Presentation.direct3d->CreateDevice(
        D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, Presentation.renderWindow,
        D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &Presentation.device);
    if (result != D3D_OK) GraphicsFailure("Direct 3D failed to initialise. Aborting!");

    result = Presentation.device->CreateTexture(size.width, size.height, 1, 0, D3DFMT_X8R8G8B8,
                                                D3DPOOL_MANAGED, &Presentation.frameTexture, NULL);
    if (result != D3D_OK)
        GraphicsFailure("Failed to initialize! Couldn't create back buffer texture. Aborting!");
}

static void ReleaseDeviceAndTexture() {
    if (Presentation.frameTexture) {
        Presentation.frameTexture->Release();
        Presentation.frameTexture = NULL;
    }
    if (Presentation.device) {
        Presentation.device->Release();
        Presentation.device = NULL;
    }
    ::operator delete[](Presentation.staging, std::align_val_t(16));
    Presentation.staging = NULL;
}

void CreatePresentation(void *window, FrameSize size) {
    Presentation.renderWindow = (HWND)window;
    Presentation.windowDC = GetDC(Presentation.renderWindow);

    Presentation.direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (Presentation.direct3d == NULL) GraphicsFailure("Direct 3D failed to initialise. Aborting!");
    CreateDeviceAndTexture(size);
}

// A new device, back buffer and texture; the Direct3D object is kept.
void ResizePresentation(FrameSize size) {
    ReleaseDeviceAndTexture();
    CreateDeviceAndTexture(size);
}

void ReleasePresentation() {
    ReleaseDeviceAndTexture();
    if (Presentation.direct3d) {
        Presentation.direct3d->Release();
        Presentation.direct3d = NULL;
    }
}

// Whether the locked texture can be the colour buffer itself: rows exactly a
// frame's width apart, 16-byte aligned, and no partial four-pixel group at
// the end for the clear to overrun.
static bool TextureIsTheColourBuffer(const D3DLOCKED_RECT &locked) {
    const FrameSize size = Presentation.size;
    return locked.Pitch == size.width * 4 && (uintptr_t)locked.pBits % 16 == 0 &&
           FrameBufferPixels(size.width, size.height) == size.width * size.height;
}

uint32_t *BeginFrame() {
    Presentation.device->BeginScene();
    Presentation.device->Clear(0, NULL, D3DCLEAR_TARGET, 0, 0.0f, 0);

    D3DLOCKED_RECT locked;
    memset(&locked, 0, sizeof locked);
    HRESULT result = Presentation.frameTexture->LockRect(0, &locked, NULL, D3DLOCK_DISCARD);
    if (result != D3D_OK)
        GraphicsFailure("Failed to render! Couldn't lock the back buffer texture. Aborting!");

    // The program as it always was takes the rows as a frame's width apart
    // and does not read the reported pitch.
    Presentation.colourBuffer = (uint32_t *)locked.pBits;
    Presentation.lockedBits = NULL;
    if (Presentation.pixelForPixel && !TextureIsTheColourBuffer(locked)) {
        if (Presentation.staging == NULL) {
            Presentation.staging = new (std::align_val_t(16), std::nothrow)
                uint32_t[FrameBufferPixels(Presentation.size.width, Presentation.size.height)];
            if (Presentation.staging == NULL)
                GraphicsFailure(
                    "Failed to render! Not enough memory for the frame's staging copy. Aborting!");
        }
        Presentation.lockedBits = (uint8_t *)locked.pBits;
        Presentation.lockedPitch = locked.Pitch;
        Presentation.colourBuffer = Presentation.staging;
    }
    return Presentation.colourBuffer;
}

void EndFrame() {
    if (Presentation.lockedBits) {
        const FrameSize size = Presentation.size;
        const size_t row = (size_t)size.width * 4;
        for (int32_t y = 0; y < size.height; ++y)
            memcpy(Presentation.lockedBits + (size_t)y * Presentation.lockedPitch,
                   Presentation.staging + (size_t)y * size.width, row);
        Presentation.lockedBits = NULL;
    }
    Presentation.frameTexture->UnlockRect(0);
    Presentation.colourBuffer = NULL;
    Presentation.device->SetFVF(QuadFvf);

    // Two clockwise triangles over the whole back buffer, corners exactly
    // on its edges (shown pixel for pixel: half a pixel up and left).
    const float o = Presentation.pixelForPixel ? -0.5f : 0.0f;
    const float l = o, t = o, r = (float)Presentation.size.width + o,
                b = (float)Presentation.size.height + o;
    const QuadVertex quad[6] = {
        {l, t, 1.0f, 1.0f, 0xFFFFFFFF, 0.0f, 0.0f}, {r, t, 1.0f, 1.0f, 0xFFFFFFFF, 1.0f, 0.0f},
        {r, b, 1.0f, 1.0f, 0xFFFFFFFF, 1.0f, 1.0f}, {r, b, 1.0f, 1.0f, 0xFFFFFFFF, 1.0f, 1.0f},
        {l, b, 1.0f, 1.0f, 0xFFFFFFFF, 0.0f, 1.0f}, {l, t, 1.0f, 1.0f, 0xFFFFFFFF, 0.0f, 0.0f},
    };
    Presentation.device->SetTexture(0, Presentation.frameTexture);
    Presentation.device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(QuadVertex));
    Presentation.device->SetTexture(0, NULL);
    Presentation.device->EndScene();
    Presentation.device->Present(NULL, NULL, NULL, NULL);
}

void DrawOverlayText(int x, int y, const char *text, int count) {
    SetBkMode(Presentation.windowDC, OPAQUE);
    SetTextColor(Presentation.windowDC, 0x000000FF);
    TextOutA(Presentation.windowDC, x, y, text, count);
}
