// Direct3D 9 in software, as far as presentation needs it: a device with a
// back buffer, X8R8G8B8 textures that lock to 16-byte aligned memory with
// rows width x 4 bytes apart, pre-transformed textured triangles drawn with
// point sampling modulated by the vertex colour, and Present, which shows
// the back buffer stretched over the window's client area.
#include <d3d9.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/sdl/layer.h"

namespace {

int LiveObjects;
std::vector<uint32_t> LastImage; // the back buffer as last presented
std::vector<uint32_t> LastDumped;

const DWORD QuadFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// The largest texture side Direct3D 9 hardware commonly takes; room for an
// 8K frame.
const UINT MaxTextureSide = 8192;

struct TexturedVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

// Every object of the subset: COM's reference count, starting at one for
// the creator, and the live-object count the tests read to find leaks.
template <class Interface> struct Counted : Interface {
    ULONG refs = 1;
    Counted() { ++LiveObjects; }
    virtual ~Counted() { --LiveObjects; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
};

struct Texture final : Counted<IDirect3DTexture9> {
    int width, height;
    uint32_t *bits;
    bool locked = false;

    Texture(int w, int h) : width(w), height(h) {
        // The render-target clear writes aligned 16-byte groups;
        // aligned_alloc wants a whole number of them.
        bits = (uint32_t *)aligned_alloc(16, ((size_t)w * h * 4 + 15) & ~(size_t)15);
    }
    ~Texture() { free(bits); }
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT *out, const RECT *, DWORD) override {
        if (level != 0 || out == nullptr || locked) return D3DERR_INVALIDCALL;
        if (TestFailure("lock")) return D3DERR_INVALIDCALL;
        locked = true;
        out->pBits = bits;
        out->Pitch = width * 4;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
        if (level != 0 || !locked) return D3DERR_INVALIDCALL;
        locked = false;
        return D3D_OK;
    }
};

uint32_t Modulate(uint32_t texel, D3DCOLOR diffuse) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t t = (texel >> shift) & 0xFF, d = (diffuse >> shift) & 0xFF;
        out |= ((t * d + 127) / 255) << shift;
    }
    return out;
}

double Edge(const TexturedVertex &a, const TexturedVertex &b, double px, double py) {
    return ((double)b.x - a.x) * (py - a.y) - ((double)b.y - a.y) * (px - a.x);
}

// Pixels whose centres (integer coordinates, as Direct3D 9 places them) lie
// inside, or on a top or left edge. Interior is where all edges are positive.
bool Owns(const TexturedVertex &a, const TexturedVertex &b, double e) {
    if (e > 0) return true;
    if (e < 0) return false;
    double dx = (double)b.x - a.x, dy = (double)b.y - a.y;
    return dy < 0 || (dy == 0 && dx > 0);
}

struct Device final : Counted<IDirect3DDevice9> {
    HWND window;
    int width, height;
    std::vector<uint32_t> back;
    DWORD fvf = 0;
    Texture *stage0 = nullptr;
    bool inScene = false;

    Device(HWND w, int bw, int bh) : window(w), width(bw), height(bh), back((size_t)bw * bh, 0) {}
    ~Device() {
        if (stage0) stage0->Release();
    }

    HRESULT STDMETHODCALLTYPE CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL, IDirect3DTexture9 **out, HANDLE *shared) override {
        if (out == nullptr) return D3DERR_INVALIDCALL;
        *out = nullptr;
        if (w == 0 || h == 0 || w > MaxTextureSide || h > MaxTextureSide || levels > 1 || usage != 0 || format != D3DFMT_X8R8G8B8 ||
            shared != nullptr)
            return D3DERR_INVALIDCALL;
        if (TestFailure("texture")) return E_OUTOFMEMORY;
        Texture *t = new Texture((int)w, (int)h);
        if (t->bits == nullptr) {
            delete t;
            return E_OUTOFMEMORY;
        }
        *out = t;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE BeginScene() override {
        if (inScene) return D3DERR_INVALIDCALL;
        inScene = true;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        if (!inScene) return D3DERR_INVALIDCALL;
        inScene = false;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT *rects, DWORD flags, D3DCOLOR colour, float,
                                    DWORD) override {
        if (!(flags & D3DCLEAR_TARGET)) return D3D_OK;
        D3DRECT whole = {0, 0, width, height};
        if (count == 0 || rects == nullptr) count = 1, rects = &whole;
        for (DWORD i = 0; i < count; ++i) {
            int x1 = rects[i].x1 < 0 ? 0 : rects[i].x1, y1 = rects[i].y1 < 0 ? 0 : rects[i].y1;
            int x2 = rects[i].x2 > width ? width : rects[i].x2, y2 = rects[i].y2 > height ? height : rects[i].y2;
            for (int y = y1; y < y2; ++y)
                for (int x = x1; x < x2; ++x) back[(size_t)y * width + x] = colour & 0x00FFFFFF;
        }
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE SetFVF(DWORD value) override {
        fvf = value;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9 *texture) override {
        if (stage != 0) return D3DERR_INVALIDCALL;
        // The only textures there are come from CreateTexture.
        Texture *t = static_cast<Texture *>(static_cast<IDirect3DTexture9 *>(texture));
        if (t) t->AddRef();
        if (stage0) stage0->Release();
        stage0 = t;
        return D3D_OK;
    }

    // The device's own rasteriser, for the textured quad that shows each
    // frame; nothing to do with the renderer's pipeline.
    void FillTexturedTriangle(const TexturedVertex &a, const TexturedVertex &b, const TexturedVertex &c) {
        double area = Edge(a, b, c.x, c.y);
        if (area <= 0) return; // counter-clockwise: culled, as by default
        int x0 = (int)ceil(fmin(a.x, fmin(b.x, c.x))), x1 = (int)floor(fmax(a.x, fmax(b.x, c.x)));
        int y0 = (int)ceil(fmin(a.y, fmin(b.y, c.y))), y1 = (int)floor(fmax(a.y, fmax(b.y, c.y)));
        if (x0 < 0) x0 = 0;
        if (y0 < 0) y0 = 0;
        if (x1 > width - 1) x1 = width - 1;
        if (y1 > height - 1) y1 = height - 1;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                double ea = Edge(b, c, x, y), eb = Edge(c, a, x, y), ec = Edge(a, b, x, y);
                if (!Owns(b, c, ea) || !Owns(c, a, eb) || !Owns(a, b, ec)) continue;
                double la = ea / area, lb = eb / area, lc = ec / area;
                uint32_t texel = 0x00FFFFFF;
                if (stage0 && !stage0->locked) {
                    double u = la * a.u + lb * b.u + lc * c.u, v = la * a.v + lb * b.v + lc * c.v;
                    // Point sampling with wrapping, the default addressing.
                    long tx = (long)floor(u * stage0->width + 1e-7), ty = (long)floor(v * stage0->height + 1e-7);
                    tx %= stage0->width, ty %= stage0->height;
                    if (tx < 0) tx += stage0->width;
                    if (ty < 0) ty += stage0->height;
                    texel = stage0->bits[(size_t)ty * stage0->width + tx];
                }
                back[(size_t)y * width + x] = Modulate(texel, a.diffuse);
            }
        }
    }

    // The full-window quad the presentation draws (top-left, top-right,
    // bottom-right; bottom-right, bottom-left, top-left), on the back
    // buffer's edges or half a pixel up and left of them, opaque white, with
    // a texture of the back buffer's own size: every pixel centre samples its
    // own texel unchanged, so the texture is copied as it is (what the
    // general path below gives, in a fraction of the time at large sizes).
    bool CopiesTextureWhole(UINT count, const char *p, UINT stride) const {
        if (count != 2 || stage0 == nullptr || stage0->locked || stage0->width != width ||
            stage0->height != height)
            return false;
        TexturedVertex first;
        memcpy(&first, p, sizeof first);
        const float o = first.x, w = (float)width, h = (float)height;
        if (o != 0.0f && o != -0.5f) return false;
        const float corners[6][4] = {{o, o, 0, 0},         {w + o, o, 1, 0},     {w + o, h + o, 1, 1},
                                     {w + o, h + o, 1, 1}, {o, h + o, 0, 1},     {o, o, 0, 0}};
        for (int k = 0; k < 6; ++k) {
            TexturedVertex v;
            memcpy(&v, p + (size_t)k * stride, sizeof v);
            if (v.x != corners[k][0] || v.y != corners[k][1] || v.u != corners[k][2] || v.v != corners[k][3] ||
                v.diffuse != 0xFFFFFFFF)
                return false;
        }
        return true;
    }

    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void *vertices,
                                              UINT stride) override {
        if (!inScene || type != D3DPT_TRIANGLELIST || fvf != QuadFormat || vertices == nullptr ||
            stride < sizeof(TexturedVertex))
            return D3DERR_INVALIDCALL;
        const char *p = (const char *)vertices;
        if (CopiesTextureWhole(count, p, stride)) {
            memcpy(back.data(), stage0->bits, back.size() * 4);
            return D3D_OK;
        }
        for (UINT i = 0; i < count; ++i) {
            TexturedVertex v[3];
            for (int k = 0; k < 3; ++k) memcpy(&v[k], p + (size_t)(3 * i + k) * stride, sizeof v[k]);
            FillTexturedTriangle(v[0], v[1], v[2]);
        }
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE Present(const RECT *, const RECT *, HWND override, const RGNDATA *) override {
        HWND target = override ? override : window;
        HWND__ *w = LookUpWindow(target);
        if (w == nullptr || WindowRenderer(w) == nullptr) return D3DERR_INVALIDCALL;
        if (w->shown && (w->shownWidth != width || w->shownHeight != height)) {
            SDL_DestroyTexture(w->shown);
            w->shown = nullptr;
        }
        if (w->shown == nullptr) {
            w->shown = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width,
                                         height);
            w->shownWidth = width;
            w->shownHeight = height;
        }
        if (w->shown) SDL_UpdateTexture(w->shown, nullptr, back.data(), width * 4);
        ClearTextRuns(w); // the new image covers the old text
        w->composePending = true;

        LastImage = back;
        if (const char *path = TestDumpPath()) {
            if (LastDumped != back) {
                std::string temporary = std::string(path) + ".part";
                FILE *f = fopen(temporary.c_str(), "wb");
                if (f && fwrite(back.data(), 4, back.size(), f) == back.size() && fclose(f) == 0)
                    rename(temporary.c_str(), path);
                else if (f)
                    fclose(f);
                LastDumped = back;
            }
        }
        if (AfterPresentHook) AfterPresentHook(target);
        return D3D_OK;
    }
};

struct Direct3D final : Counted<IDirect3D9> {
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE, HWND focus, DWORD,
                                           D3DPRESENT_PARAMETERS *parameters, IDirect3DDevice9 **out) override {
        if (out == nullptr) return D3DERR_INVALIDCALL;
        *out = nullptr;
        if (adapter != D3DADAPTER_DEFAULT || parameters == nullptr) return D3DERR_INVALIDCALL;
        if (!parameters->Windowed) return D3DERR_NOTAVAILABLE; // no full-screen modes here
        HWND window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focus;
        HWND__ *w = LookUpWindow(window);
        if (w == nullptr) return D3DERR_INVALIDCALL;
        if (TestFailure("device") || WindowRenderer(w) == nullptr) return D3DERR_NOTAVAILABLE;
        int width = (int)parameters->BackBufferWidth, height = (int)parameters->BackBufferHeight;
        if (width == 0 || height == 0) SDL_GetWindowSize(w->sdl, &width, &height);
        *out = new Device(window, width, height);
        return D3D_OK;
    }
};

} // namespace

IDirect3D9 *WINAPI Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || TestFailure("create") || !EnsureVideo()) return nullptr;
    return new Direct3D();
}

int LiveDirect3DObjects() { return LiveObjects; }

const uint32_t *LastPresentedImage() { return LastImage.empty() ? nullptr : LastImage.data(); }
