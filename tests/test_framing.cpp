// The camera: framing a loaded model, the mouse's and the wheel's moves with
// their limits, and the transforms every frame uses.
#include "model/Framing.h"
#include "session/ViewItem.h"
#include "TestGame.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {

// A model of one mesh over the given points (three per triangle), framed
// as a reader frames it.
void Fill(LoadedModel& m, const std::vector<std::array<float, 3>>& points, uint32_t extraVertices = 0) {
    uint32_t n = uint32_t(points.size());
    m.vertices.clear();
    for (uint32_t i = 0; i < n + extraVertices; ++i) {
        // Vertices past the triangles lie far away: framing must not see them.
        const std::array<float, 3> far = {5000, 5000, 5000};
        const std::array<float, 3>& p = i < n ? points[i] : far;
        m.vertices.push_back({p[0], p[1], p[2], 0, 0, 1, 0, 0});
    }
    m.lockCount = n + extraVertices;
    m.meshes = {MeshRange{0, n / 3, 1}};
    FrameModel(m);
}

ModelBounds Measure(const LoadedModel& m) {
    return MeasureModel(m.vertices.data(), m.vertices.size(), m.meshes.data(), m.meshes.size());
}

// The box around where the model's vertices land in the view (x and y from
// -1 to 1); false when one lands behind the near plane.
struct Spread {
    float min[2] = {1e9f, 1e9f}, max[2] = {-1e9f, -1e9f};
    float Span() const { return std::max(max[0] - min[0], max[1] - min[1]) / 2; }
    bool Inside() const { return min[0] >= -1 && min[1] >= -1 && max[0] <= 1 && max[1] <= 1; }
};
bool Project(const ModelVertex* v, uint32_t used, const Camera& c, Spread& s) {
    for (uint32_t i = 0; i < used; ++i) {
        const ModelVertex& m = v[i];
        if (!std::isfinite(m.x) || !std::isfinite(m.y) || !std::isfinite(m.z)) continue;
        float p[3] = {m.x, m.y, m.z}, q[2];
        if (!ProjectModelPoint(c, p, q)) return false;
        for (int k = 0; k < 2; ++k) {
            s.min[k] = std::min(s.min[k], q[k]);
            s.max[k] = std::max(s.max[k], q[k]);
        }
    }
    return true;
}

}  // namespace

TEST(FramingTest, BoundsCoverTheVerticesTheTrianglesUse) {
    LoadedModel m;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Fill(m, {{1, 2, 3}, {-1, 6, 3}, {nan, 0, 0}, {3, 4, -5}, {3, 4, 5}, {1, 4, 3}}, 3);
    m.meshes = {MeshRange{0, 1, 0}, MeshRange{0, 1, 1}};
    ModelBounds b = Measure(m);
    ASSERT_FALSE(b.empty);
    // Hidden meshes count; the NaN vertex and the three written past the
    // triangles do not.
    EXPECT_EQ(std::vector<float>(b.min, b.min + 3), (std::vector<float>{-1, 2, -5}));
    EXPECT_EQ(std::vector<float>(b.max, b.max + 3), (std::vector<float>{3, 6, 5}));
    EXPECT_EQ(std::vector<float>(b.centre, b.centre + 3), (std::vector<float>{1, 4, 0}));
    EXPECT_FLOAT_EQ(b.radius, std::sqrt(4.0f + 0 + 25));  // (3, 4, +-5)
    // Meshes claiming more triangles than there are vertices stop at the end.
    m.meshes = {MeshRange{0, 1000, 1}};
    EXPECT_EQ(Measure(m).max[0], 5000);

    m.camera.yaw = 2;
    Fill(m, {{nan, 0, 0}, {0, nan, 0}, {0, 0, nan}});
    EXPECT_TRUE(Measure(m).empty);
    EXPECT_EQ(std::vector<float>(m.camera.eye, m.camera.eye + 3), (std::vector<float>{0, 0, -16}));
    EXPECT_EQ(m.camera.yaw, 0.0f);
}

TEST(FramingTest, EveryShapeIsSeenWholeFromEverySideAndFillsTheView) {
    struct {
        const char* what;
        std::vector<std::array<float, 3>> points;
        float minSpan;  // of the view's half side, seen unturned
    } cases[] = {
        {"a sword along x, off the origin", {{100, 50, 7}, {300, 52, 7}, {100, 48, 8}}, 0.9f},
        {"a car, long in depth: turned to show its side", {{-40, 0, -100}, {40, 60, 100}, {40, 0, 100}}, 0.8f},
        {"a speck", {{0.01f, 0, 0}, {0, 0.01f, 0}, {0, 0, 0.01f}}, 0.0f},
        {"a square plate facing the eye", {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}}, 0.6f},
        {"a city block", {{-4000, 0, -4000}, {4000, 10, 4000}, {4000, 0, -4000}}, 0.6f},
    };
    for (const auto& c : cases) {
        LoadedModel m;
        Fill(m, c.points);
        Camera camera = m.camera;
        float startYaw = camera.yaw, startPitch = camera.pitch;
        EXPECT_EQ(camera.eye[0], 0.0f) << c.what;
        EXPECT_EQ(camera.eye[1], 0.0f) << c.what;
        EXPECT_LE(camera.eye[2], kNearestEyeZ) << c.what;
        EXPECT_GE(camera.eye[2], camera.farthestEyeZ) << c.what << ": the zoom limit admits the framed eye";
        EXPECT_LE(camera.farthestEyeZ, kFarthestEyeZ) << c.what;
        ModelBounds b = Measure(m);
        EXPECT_GE(camera.farPlane, -camera.farthestEyeZ + b.radius) << c.what << ": the far side is never cut";
        for (int turn = 0; turn < 16; ++turn) {
            camera.yaw = startYaw + turn * 0.4f;
            camera.pitch = startPitch + turn % 3 * 0.5f;
            Spread s;
            ASSERT_TRUE(Project(m.vertices.data(), uint32_t(m.vertices.size()), camera, s))
                << c.what << ": nothing behind the near plane";
            EXPECT_TRUE(s.Inside()) << c.what << " at turn " << turn;
            if (turn == 0) {
                EXPECT_GE(s.Span(), c.minSpan) << c.what;
            }
        }
    }
}

TEST(FramingTest, AFlatModelIsSeenFromAboveItsFarEdgeUp) {
    LoadedModel m;
    Fill(m, {{-2, 0, -1}, {2, 0.01f, 1}, {2, 0, -1}, {-2, 0, 1}, {0, 0, 1}, {0, 0, 1}});
    Spread s;
    ASSERT_TRUE(Project(m.vertices.data(), 4, m.camera, s));
    EXPECT_TRUE(s.Inside());
    EXPECT_GE((s.max[0] - s.min[0]) / 2, 0.6f) << "its width across the view";
    EXPECT_GE((s.max[1] - s.min[1]) / 2, 0.3f) << "its depth up the view, not a line";
    float farEdge[3] = {0, 0, 1}, q[2];
    ASSERT_TRUE(ProjectModelPoint(m.camera, farEdge, q));
    EXPECT_GT(q[1], 0.0f);
    // Upright shapes keep their unturned or quarter-turned yaw and no pitch.
    Fill(m, {{-2, -1, 0}, {2, 1, 0}, {2, -1, 0}});
    EXPECT_EQ(m.camera.pitch, 0.0f);
}

TEST(CameraTest, DragsMoveByThePixelWithTheirLimits) {
    Camera c;
    c.eye[2] = -50;
    PanCamera(c, 10, -20, kGameBloodlines);
    EXPECT_FLOAT_EQ(c.eye[0], -3);
    EXPECT_FLOAT_EQ(c.eye[1], -6);
    PanCamera(c, 10, -20, kGameRedemption);
    EXPECT_FLOAT_EQ(c.eye[0], -4) << "Redemption pans three times slower";
    EXPECT_FLOAT_EQ(c.eye[1], -8);
    PanCamera(c, 10, -20, kGameNone);
    EXPECT_FLOAT_EQ(c.eye[0], -4);
    TurnCamera(c, 25);
    EXPECT_FLOAT_EQ(c.yaw, -0.25f);

    struct {
        float farthest, before;
        int32_t dy;
        float after;
    } zooms[] = {
        {-1000, -50, 30, -20},   {-1000, -50, 60, -1},      {-1000, -990, -30, -1000},
        {-4000, -990, -30, -1020}, {-4000, -3990, -30, -4000},
    };
    for (const auto& z : zooms) {
        c.farthestEyeZ = z.farthest;
        c.eye[2] = z.before;
        ZoomCamera(c, z.dy);
        EXPECT_FLOAT_EQ(c.eye[2], z.after) << z.before << " + " << z.dy;
    }

    struct {
        float before;
        int32_t delta;
        float after;
    } wheels[] = {{-100, 120, -90}, {-100, -120, -110}, {-100, 240, -80}, {-100, 60, -95},
                  {-1.05f, 120, -1}, {-950, -120, -1000}};
    c.farthestEyeZ = kFarthestEyeZ;
    for (const auto& w : wheels) {
        c.eye[2] = w.before;
        WheelZoomCamera(c, w.delta);
        EXPECT_FLOAT_EQ(c.eye[2], w.after) << w.before << " wheel " << w.delta;
    }
}

TEST(CameraTest, TransformsTurnAboutTheCentreAndLookDownZ) {
    Camera c;
    const float at[3] = {10, 20, 30};
    std::copy(at, at + 3, c.centre);
    c.eye[2] = -10;
    float centre[2], right[2];
    float p[3] = {10, 20, 30}, q[3] = {11, 20, 30};
    ASSERT_TRUE(ProjectModelPoint(c, p, centre));
    EXPECT_FLOAT_EQ(centre[0], 0);
    EXPECT_FLOAT_EQ(centre[1], 0);
    // One unit to the right at distance 10 under a pi/4 view.
    ASSERT_TRUE(ProjectModelPoint(c, q, right));
    EXPECT_NEAR(right[0], 0.1f / std::tan(kFieldOfView / 2), 1e-5);
    // A quarter turn of yaw takes +x to +z (away from the eye): straight ahead.
    c.yaw = 1.57079633f;
    ASSERT_TRUE(ProjectModelPoint(c, q, right));
    EXPECT_NEAR(right[0], 0, 1e-5);
    // Panning the eye right moves the model left.
    c.yaw = 0;
    c.eye[0] = 1;
    ASSERT_TRUE(ProjectModelPoint(c, p, centre));
    EXPECT_LT(centre[0], 0);
    c.eye[0] = 0;
    c.eye[2] = 30;  // the eye past the model
    EXPECT_FALSE(ProjectModelPoint(c, p, centre));
}

// The real models that read, framed as a load frames them: all in view,
// spanning a good part of it. Prints the figures.
TEST(FramingTest, RealModelsAreFramed) {
    RealPack real;
    if (!real.open) GTEST_SKIP() << "no real data";
    AppState& app = real.app;
    const char* const models[] = {
        "models/weapons/broadsword/world/g_sword.mdl",     "models/scenery/furniture/computer/mouseb.mdl",
        "models/items/license/ground/lisense.mdl",         "models/items/license/info/info_lisense.mdl",
        "models/scenery/misc/wineglass/wineglass.mdl_female.mdl",
        "models/scenery/structural/warrens/warr_00_map.mdl", "models/scenery/misc/plates/crapy.mdl",
        "models/cinematic/santa_monica/courtroom/courtroom_bip1.mdl",
    };
    int framed = 0;
    for (const char* path : models) {
        FileEntry key = EntryFor(path);
        if (!LoadBloodlinesModel(app, key)) continue;
        ++framed;
        const Viewer& v = app.viewer;
        uint32_t used = 0;
        for (uint32_t i = 0; i < v.meshCount; ++i) used += 3 * v.meshes[i].triangleCount;
        ASSERT_LE(used, v.lockedVertices);
        Spread s;
        ASSERT_TRUE(Project(v.ModelVertices(), used, app.camera, s)) << path;
        EXPECT_TRUE(s.Inside()) << path;
        EXPECT_GE(s.Span(), 0.4f) << path;
        EXPECT_GE(std::min(s.max[0] - s.min[0], s.max[1] - s.min[1]) / 2, 0.1f) << path << ": seen edge-on";
        const Camera& c = app.camera;
        std::printf("framed %s: radius %.1f, eye z %.1f, view x %.2f..%.2f, y %.2f..%.2f, span %.0f%%\n", path,
                    MeasureModel(v.ModelVertices(), v.lockedVertices, v.meshes, v.meshCount).radius, c.eye[2], s.min[0], s.max[0], s.min[1], s.max[1],
                    s.Span() * 100);
    }
    EXPECT_EQ(framed, int(std::size(models))) << "every real model reads";
}
