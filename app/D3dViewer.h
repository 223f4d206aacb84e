// The 3D view on Direct3D 9: the device drawing into the browser's view
// window, the image texture with its screen quad, the model and skeleton
// buffers and the material textures. It mirrors the core's Viewer (the
// memory backend every reader fills): whenever the core's picture or model
// changes, Sync uploads it. Nothing else in the program sees Direct3D.
#pragma once

#include "model/Camera.h"
#include "viewer/Viewer.h"

#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <vector>

struct D3dViewer {
    RECT viewRect = {0, 0, 0, 0};
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DVertexBuffer9* quadBuffer = nullptr;
    IDirect3DVertexBuffer9* modelBuffer = nullptr;
    IDirect3DVertexBuffer9* lineBuffer = nullptr;
    IDirect3DTexture9* slots[kTextureSlotCapacity] = {};
    uint8_t twoSided[kTextureSlotCapacity] = {};
    uint8_t alpha[kTextureSlotCapacity] = {};
    uint32_t slotCount = 0;
    uint32_t imageWidth = 256, imageHeight = 256;
    // The display switches of the three check boxes.
    bool textured = true;
    bool wireframe = false;
    bool skeleton = false;
    // Also draw every frame into the view with GDI, from the back buffer read
    // back. Wine renders Direct3D in child windows offscreen and, on an X
    // server without a GPU (Xvfb), those frames may never reach the screen;
    // screenshots and `make run` set QUILLON_PRESENT_GDI=1 to see them.
    bool gdiMirror = false;
    HWND viewWindow = nullptr;
    // The plain window above the view that receives the GDI copy.
    HWND mirrorWindow = nullptr;
    // What Sync last uploaded from the core.
    uint32_t imageRevision = 0;
    uint32_t modelRevision = 0;
    uint32_t poseRevision = 0;

    bool Init(HWND view);
    void FillImage(uint32_t argb);
    bool ShowImage(const Image32& image, bool twoSidedFlag, bool alphaFlag);
    bool AddTexture(const Image32& image, uint8_t twoSidedFlag, uint8_t alphaFlag);
    void ReleaseModelTextures();
    void Release();
    // Uploads what changed in the core since the last call.
    void Sync(const Viewer& core);
    // Draws one frame of the core's picture or model. With capture, the back
    // buffer is also read back (X8R8G8B8 pixels, top row first) before it is
    // presented; false when that could not be done.
    bool Render(const Viewer& core, const Camera& camera, std::vector<uint32_t>* capture = nullptr,
                uint32_t* captureWidth = nullptr, uint32_t* captureHeight = nullptr);

    // Frames presented so far: the message loop draws only when something
    // changed, and the tests count on it.
    uint64_t presented = 0;
    // The view was uncovered (or never drawn) since the last frame.
    bool exposed = true;
    static D3dViewer* instance;

private:
    bool CreateDefaultResources();
    void DrawModel(const Viewer& core);
    void DrawImage();
    // The back buffer as X8R8G8B8 pixels, top row first.
    bool ReadBackBuffer(std::vector<uint32_t>& pixels, uint32_t& width, uint32_t& height);
    // Shows the last frame read back in the plain window over the view.
    void CopyToMirror();
    static LRESULT CALLBACK MirrorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    WNDPROC viewProc = nullptr;
    uint32_t mirrorWidth = 0, mirrorHeight = 0;
    bool CreateTexture(uint32_t w, uint32_t h, IDirect3DTexture9** texture);
    void SetCamera(const Camera& camera);
    void DrawSkeleton(const Viewer& core);
    // Copies the core's model vertices into the model buffer.
    void UploadVertices(const Viewer& core);
    uint32_t modelVertices = 0;
    std::vector<uint32_t> mirrorPixels;
};
