#include "app/D3dViewer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const DWORD kModelFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
const DWORD kLineFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
const UINT kQuadBytes = 112;
const UINT kModelBytes = kModelVertexCapacity * sizeof(ModelVertex);
const UINT kLineBytes = 16384;
const uint32_t kPadColour = 0x80808080u;
const D3DCOLOR kClearColour = 0xFF808080u;

struct QuadVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 28, "the screen quad's vertex is 28 bytes");

struct LineVertex {
    float x, y, z;
    DWORD colour;
};

void Error(const char* text) { MessageBoxA(nullptr, text, "Error!", MB_ICONEXCLAMATION); }

void Normalize(float v[3]) {
    float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0)
        for (int i = 0; i < 3; ++i) v[i] /= length;
}

}  // namespace

bool D3dViewer::CreateTexture(uint32_t w, uint32_t h, IDirect3DTexture9** texture) {
    *texture = nullptr;
    return SUCCEEDED(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture, nullptr));
}

bool D3dViewer::Init(HWND view) {
    slotCount = 0;
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (d3d == nullptr) {
        Error("This Program Requires Direct X 9.0");
        return false;
    }
    GetClientRect(view, &viewRect);
    // A square back buffer: the projection's aspect is 1, and the view it is
    // shown in is square whatever its size when the device is made.
    LONG side = std::max(viewRect.right, viewRect.bottom);
    viewRect = {0, 0, side, side};
    viewWindow = view;
    instance = this;
    viewProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ViewProc)));
    char flag[8] = "";
    gdiMirror = GetEnvironmentVariableA("QUILLON_PRESENT_GDI", flag, sizeof flag) > 0 && flag[0] == '1';
    D3DPRESENT_PARAMETERS params = {};
    params.BackBufferWidth = params.BackBufferHeight = static_cast<UINT>(side);
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, view, D3DCREATE_MIXED_VERTEXPROCESSING, &params,
                                 &device))) {
        device = nullptr;
        Error("Error Creating Direct X 9.0 Device");
        return false;
    }
    if (!CreateDefaultResources()) return false;
    if (FAILED(device->CreateVertexBuffer(kLineBytes, D3DUSAGE_WRITEONLY, kLineFvf, D3DPOOL_DEFAULT, &lineBuffer,
                                          nullptr))) {
        lineBuffer = nullptr;
        Error("Error Creating Vertex Buffer");
        return false;
    }
    return true;
}

bool D3dViewer::CreateDefaultResources() {
    if (!CreateTexture(imageWidth, imageHeight, &slots[0])) {
        Error("Error Creating Texture");
        return false;
    }
    slotCount = 1;
    FillImage(0xFF808080u);
    if (FAILED(device->CreateVertexBuffer(kQuadBytes, D3DUSAGE_WRITEONLY, kQuadFvf, D3DPOOL_DEFAULT, &quadBuffer,
                                          nullptr))) {
        quadBuffer = nullptr;
        Error("Error Creating Vertex Buffer");
        return false;
    }
    void* data = nullptr;
    if (FAILED(quadBuffer->Lock(0, kQuadBytes, &data, 0))) {
        Error("Error Locking Vertex Buffer");
        return false;
    }
    float l = float(viewRect.left), t = float(viewRect.top), r = float(viewRect.right), b = float(viewRect.bottom);
    QuadVertex quad[4] = {{l, t, 0, 1, 0xFFFFFFFF, 0, 0},
                          {r, t, 0, 1, 0xFFFFFFFF, 1, 0},
                          {l, b, 0, 1, 0xFFFFFFFF, 0, 1},
                          {r, b, 0, 1, 0xFFFFFFFF, 1, 1}};
    std::memcpy(data, quad, sizeof quad);
    quadBuffer->Unlock();
    if (FAILED(device->CreateVertexBuffer(kModelBytes, D3DUSAGE_WRITEONLY, kModelFvf, D3DPOOL_DEFAULT, &modelBuffer,
                                          nullptr))) {
        modelBuffer = nullptr;
        Error("Error Creating Vertex Buffer");
        return false;
    }
    IDirect3DDevice9* d = device;
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetRenderState(D3DRS_ALPHAREF, 8);
    d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    D3DMATERIAL9 material = {};
    material.Diffuse = material.Ambient = {1, 1, 1, 1};
    d->SetMaterial(&material);
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 0};
    float direction[3] = {-1, -3, 10};
    Normalize(direction);
    light.Direction = {direction[0], direction[1], direction[2]};
    light.Range = 1000.0f;
    d->SetLight(0, &light);
    d->LightEnable(0, TRUE);
    d->SetRenderState(D3DRS_AMBIENT, 0x00505050);
    return true;
}

void D3dViewer::FillImage(uint32_t argb) {
    if (slots[0] == nullptr) return;
    D3DLOCKED_RECT locked;
    if (FAILED(slots[0]->LockRect(0, &locked, nullptr, 0))) {
        Error("Error Locking Texture");
        return;
    }
    for (uint32_t y = 0; y < imageHeight; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (uint32_t x = 0; x < imageWidth; ++x) row[x] = argb;
    }
    slots[0]->UnlockRect(0);
    twoSided[0] = alpha[0] = 0;
}

bool D3dViewer::ShowImage(const Image32& image, bool twoSidedFlag, bool alphaFlag) {
    if (device == nullptr || image.pixels == nullptr) return false;
    uint32_t w = image.width, h = image.height;
    uint32_t s = w > h ? w : h;
    if (imageWidth != s || imageHeight != s || slots[0] == nullptr) {
        imageWidth = imageHeight = s;
        if (slots[0] != nullptr) slots[0]->Release();
        if (!CreateTexture(s, s, &slots[0])) {
            Error("Error Creating Texture");
            return false;
        }
    }
    D3DLOCKED_RECT locked;
    if (FAILED(slots[0]->LockRect(0, &locked, nullptr, 0))) {
        Error("Error Locking Texture");
        return false;
    }
    for (uint32_t y = 0; y < s; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + uint64_t(y) * locked.Pitch);
        uint32_t x = 0;
        if (y < h) {
            std::memcpy(row, image.pixels + uint64_t(y) * w * 4, uint64_t(w) * 4);
            x = w;
        }
        for (; x < s; ++x) row[x] = kPadColour;
    }
    slots[0]->UnlockRect(0);
    twoSided[0] = twoSidedFlag;
    alpha[0] = alphaFlag;
    return true;
}

bool D3dViewer::AddTexture(const Image32& image, uint8_t twoSidedFlag, uint8_t alphaFlag) {
    if (device == nullptr || slotCount >= kTextureSlotCapacity) return false;
    uint32_t slot = slotCount;
    // A slot without a picture still counts, drawn untextured, so that the
    // meshes' slot numbers stay those of the core.
    twoSided[slot] = alpha[slot] = 0;
    if (image.pixels == nullptr || !CreateTexture(image.width, image.height, &slots[slot])) {
        if (image.pixels != nullptr) Error("Error Creating Texture");
        slots[slot] = nullptr;
        ++slotCount;
        return false;
    }
    ++slotCount;
    D3DLOCKED_RECT locked;
    if (FAILED(slots[slot]->LockRect(0, &locked, nullptr, 0))) {
        Error("Error Locking Texture");
        return false;
    }
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + uint64_t(y) * locked.Pitch,
                    image.pixels + uint64_t(y) * image.width * 4, uint64_t(image.width) * 4);
    slots[slot]->UnlockRect(0);
    twoSided[slot] = twoSidedFlag;
    alpha[slot] = alphaFlag;
    return true;
}

void D3dViewer::ReleaseModelTextures() {
    while (slotCount > 1) {
        --slotCount;
        if (slots[slotCount] != nullptr) slots[slotCount]->Release();
        slots[slotCount] = nullptr;
        twoSided[slotCount] = alpha[slotCount] = 0;
    }
}

void D3dViewer::Release() {
    if (viewWindow != nullptr && viewProc != nullptr)
        SetWindowLongPtrA(viewWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(viewProc));
    viewProc = nullptr;
    if (lineBuffer != nullptr) lineBuffer->Release();
    lineBuffer = nullptr;
    for (uint32_t i = 0; i < kTextureSlotCapacity; ++i) {
        if (slots[i] != nullptr) slots[i]->Release();
        slots[i] = nullptr;
    }
    slotCount = 0;
    if (quadBuffer != nullptr) quadBuffer->Release();
    if (modelBuffer != nullptr) modelBuffer->Release();
    if (device != nullptr) device->Release();
    if (d3d != nullptr) d3d->Release();
    quadBuffer = modelBuffer = nullptr;
    device = nullptr;
    d3d = nullptr;
}

void D3dViewer::Sync(const Viewer& core) {
    if (device == nullptr) return;
    if (core.slot0.revision != imageRevision) {
        imageRevision = core.slot0.revision;
        // A fill covers the whole square texture, whatever size the last
        // picture had.
        if (core.slot0.filled)
            FillImage(core.slot0.fillArgb);
        else if (core.slot0.image.pixels != nullptr)
            ShowImage(core.slot0.image, core.slot0.twoSided, core.slot0.alpha);
    }
    if (core.modelRevision != modelRevision) {
        modelRevision = core.modelRevision;
        ReleaseModelTextures();
        for (uint32_t slot = 1; slot < core.slotCount && slot < kTextureSlotCapacity; ++slot)
            AddTexture(core.slots[slot].image, core.slots[slot].twoSided, core.slots[slot].alpha);
        modelVertices = 0;
        uint32_t count = core.lockedVertices;
        void* data = nullptr;
        if (core.ModelVertices() != nullptr && count > 0 && count <= kModelVertexCapacity &&
            SUCCEEDED(modelBuffer->Lock(0, count * sizeof(ModelVertex), &data, 0))) {
            std::memcpy(data, core.ModelVertices(), count * sizeof(ModelVertex));
            modelBuffer->Unlock();
            modelVertices = count;
        }
    }
}

void D3dViewer::SetCamera(const Camera& camera) {
    // The core's matrices are laid out as D3DMATRIX is: row-major, row vectors.
    static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX), "a Matrix4 is a D3DMATRIX");
    Matrix4 world = WorldMatrix(camera), view = ViewMatrix(camera), projection = ProjectionMatrix(camera);
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&world));
    device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&view));
    device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&projection));
}

void D3dViewer::DrawSkeleton(const Viewer& core) {
    uint32_t points = core.skeleton.pointCount;
    if (points == 0 || lineBuffer == nullptr) return;
    void* data = nullptr;
    if (FAILED(lineBuffer->Lock(0, kLineBytes, &data, 0))) return;
    IDirect3DStateBlock9* saved = nullptr;
    if (FAILED(device->CreateStateBlock(D3DSBT_ALL, &saved))) {
        lineBuffer->Unlock();
        return;
    }
    LineVertex* v = static_cast<LineVertex*>(data);
    for (uint32_t i = 0; i + 1 < points && i + 1 < kLineBytes / sizeof(LineVertex); i += 2) {
        const float* a = core.skeleton.points[i];
        const float* b = core.skeleton.points[i + 1];
        v[i] = {a[0], a[1], a[2], 0x0000FF00};
        v[i + 1] = {b[0], b[1], b[2], 0x00FF0000};
    }
    lineBuffer->Unlock();
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, lineBuffer, 0, sizeof(LineVertex));
    device->SetFVF(kLineFvf);
    device->DrawPrimitive(D3DPT_LINELIST, 0, points / 2);
    saved->Apply();
    saved->Release();
}

void D3dViewer::DrawModel(const Viewer& core) {
    IDirect3DDevice9* d = device;
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    if (!textured) d->SetTexture(0, nullptr);
    d->SetRenderState(D3DRS_FILLMODE, wireframe ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
    d->SetStreamSource(0, modelBuffer, 0, sizeof(ModelVertex));
    d->SetFVF(kModelFvf);
    uint32_t start = 0;
    for (uint32_t i = 0; i < core.meshCount && i < kMeshCapacity; ++i) {
        const MeshRange& mesh = core.meshes[i];
        uint32_t slot = mesh.textureIndex + 1;
        bool known = slot < slotCount;
        // Never draw past what was uploaded.
        if (mesh.visible && uint64_t(start) + 3ull * mesh.triangleCount <= modelVertices) {
            bool two = known && twoSided[slot];
            d->SetRenderState(D3DRS_CULLMODE, two && !wireframe ? D3DCULL_NONE : D3DCULL_CCW);
            if (textured) {
                bool blend = known && alpha[slot];
                d->SetRenderState(D3DRS_ALPHATESTENABLE, blend);
                d->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
                d->SetTexture(0, known ? slots[slot] : nullptr);
            }
            d->DrawPrimitive(D3DPT_TRIANGLELIST, start, mesh.triangleCount);
        }
        start += 3 * mesh.triangleCount;
    }
}

void D3dViewer::DrawImage() {
    IDirect3DDevice9* d = device;
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, alpha[0]);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d->SetTexture(0, slots[0]);
    d->SetStreamSource(0, quadBuffer, 0, sizeof(QuadVertex));
    d->SetFVF(kQuadFvf);
    d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

bool D3dViewer::ReadBackBuffer(std::vector<uint32_t>& pixels, uint32_t& width, uint32_t& height) {
    IDirect3DSurface9* target = nullptr;
    if (FAILED(device->GetRenderTarget(0, &target))) return false;
    bool read = false;
    D3DSURFACE_DESC desc;
    target->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    if (SUCCEEDED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                      nullptr))) {
        D3DLOCKED_RECT locked;
        if (SUCCEEDED(device->GetRenderTargetData(target, copy)) &&
            SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            pixels.resize(size_t(desc.Width) * desc.Height);
            for (UINT y = 0; y < desc.Height; ++y)
                std::memcpy(&pixels[size_t(y) * desc.Width], static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                            desc.Width * 4);
            copy->UnlockRect();
            width = desc.Width;
            height = desc.Height;
            read = true;
        }
        copy->Release();
    }
    target->Release();
    return read;
}

D3dViewer* D3dViewer::instance = nullptr;

LRESULT CALLBACK D3dViewer::MirrorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    D3dViewer* viewer = instance;
    // The copy only shows the view: the mouse goes through it to the view
    // below (and so to the browser's drag handling), as if it were not there.
    if (message == WM_NCHITTEST) return HTTRANSPARENT;
    if (message == WM_ERASEBKGND) return 1;  // the copy covers it all
    if (message != WM_PAINT || viewer == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const std::vector<uint32_t>& pixels = viewer->mirrorPixels;
    if (!pixels.empty()) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = static_cast<LONG>(viewer->mirrorWidth);
        info.bmiHeader.biHeight = -static_cast<LONG>(viewer->mirrorHeight);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        RECT client;
        GetClientRect(window, &client);
        // The back buffer keeps the size the view had when the device was
        // made, so the copy is stretched. The default stretch mode ANDs the
        // pixels it drops together, which speckles textures with black and
        // odd colours; HALFTONE averages them instead.
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, static_cast<int>(viewer->mirrorWidth),
                      static_cast<int>(viewer->mirrorHeight), pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT CALLBACK D3dViewer::ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    D3dViewer* viewer = instance;
    if (viewer == nullptr || viewer->viewProc == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_PAINT) {
        // Frames are drawn only when something changed; an uncovered view is
        // such a change.
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        viewer->exposed = true;
        return 0;
    }
    return CallWindowProcA(viewer->viewProc, window, message, wParam, lParam);
}

void D3dViewer::CopyToMirror() {
    // Into a plain sibling window laid over the view: a window that holds a
    // Direct3D drawable takes GDI drawing offscreen as well.
    HWND parent = GetParent(viewWindow);
    RECT view;
    GetWindowRect(viewWindow, &view);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&view), 2);
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    if (mirrorWindow == nullptr) {
        WNDCLASSA mirrorClass = {};
        mirrorClass.lpfnWndProc = MirrorProc;
        mirrorClass.hInstance = module;
        mirrorClass.lpszClassName = "QuillonViewCopy";
        RegisterClassA(&mirrorClass);
        mirrorWindow = CreateWindowExA(0, "QuillonViewCopy", "", WS_CHILD | WS_VISIBLE, view.left, view.top,
                                       view.right - view.left, view.bottom - view.top, parent, nullptr, module, nullptr);
    }
    // Every time: a new child window does not start above its siblings.
    SetWindowPos(mirrorWindow, HWND_TOP, view.left, view.top, view.right - view.left, view.bottom - view.top,
                 SWP_NOACTIVATE);
    RedrawWindow(mirrorWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool D3dViewer::Render(const Viewer& core, const Camera& camera, std::vector<uint32_t>* capture,
                       uint32_t* captureWidth, uint32_t* captureHeight) {
    if (device == nullptr) return false;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
    if (SUCCEEDED(device->BeginScene())) {
        SetCamera(camera);
        if (core.meshCount > 0)
            DrawModel(core);
        else
            DrawImage();
        if (skeleton) DrawSkeleton(core);
        device->EndScene();
    }
    bool captured = false;
    if (capture != nullptr || gdiMirror) captured = ReadBackBuffer(mirrorPixels, mirrorWidth, mirrorHeight);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    ++presented;
    exposed = false;
    if (gdiMirror && captured) CopyToMirror();
    if (capture != nullptr && captured) {
        *capture = mirrorPixels;
        if (captureWidth != nullptr) *captureWidth = mirrorWidth;
        if (captureHeight != nullptr) *captureHeight = mirrorHeight;
    }
    return capture == nullptr || captured;
}
