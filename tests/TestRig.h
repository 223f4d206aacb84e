// A tiny rigged model whose poses are worked out by hand: bone 0 "root" at
// (0, 0, 10), bone 1 "arm" 5 units along its x. Vertex 0 lies on the root,
// vertex 1 on the arm, vertex 2 one fifth on the root and four fifths on
// the arm. One animation, "@wave", 3 frames at 10 per second, moves the arm
// out by half a unit per step of its x channel (0, 2, 4: 5, 6, 7) through
// one run of three, and turns it through runs that repeat their last
// value: z is (11585, 0, 0) / 16384, w (11585, 16384, 16384) / 16384.
#pragma once

#include "tools/MdlWriter.h"

enum class RigVariant {
    // The arm's rest rotation is +90 degrees about Z; the root is still.
    Plain,
    // As Plain, but the root, turned +90 degrees and moved to x = 1 in the
    // animation only: the game's quarter turn, which posing undoes.
    Turned,
    // The root rests turned +90 degrees about Z, the arm straight and
    // flagged 0x2 (rotation in model space); the arm does not turn.
    ModelSpace,
};

inline MdlPair TinyRig(RigVariant variant) {
    const float h = 0.70710678f, step = 1.0f / 16384;
    MdlPair m;
    m.textures = {"skin"};
    m.dirs = {"models/test/"};
    bool modelSpace = variant == RigVariant::ModelSpace;
    m.bones = {MdlWriterBone{"root", -1, {0, 0, 10}, {0, 0, modelSpace ? h : 0, modelSpace ? h : 1}},
               MdlWriterBone{"arm", 0, {5, 0, 0}, {0, 0, modelSpace ? 0 : h, modelSpace ? 1 : h}}};
    for (MdlWriterBone& b : m.bones) b.positionScale = {0.5f, 0.5f, 0.5f}, b.rotationScale = {step, step, step, step};
    if (modelSpace) m.bones[1].flags = 0x2;
    // Where the vertices lie at rest: on the root's origin, the arm's, and
    // one unit along the arm from its origin.
    m.vertices = modelSpace ? std::vector<MdlVertex>{{0, 0, 10, 0, 0, 1, 0, 0}, {0, 5, 10, 0, 0, 1, 1, 0}, {0, 6, 10, 0, 0, 1, 0, 1}}
                            : std::vector<MdlVertex>{{0, 0, 10, 0, 0, 1, 0, 0}, {5, 0, 10, 0, 0, 1, 1, 0}, {10, 0, 10, 0, 0, 1, 0, 1}};
    m.vertexBones = {{{255, 0, 0}, {0, 0, 0, 0}}, {{0, 0, 0}, {0, 0, 0, 1}}, {{51, 0, 0}, {0, 0, 0, 1}}};
    if (modelSpace) m.vertexBones[2] = {{0, 0, 0}, {0, 0, 0, 1}};
    m.meshes = {{0, {{0x10, {0, 1, 2}, {0, 1, 2}}}}};
    MdlWriterAnimation wave{"@wave", 10, 3, {}};
    wave.channels.resize(2);
    wave.channels[1][0] = {{3, {0, 2, 4}}};
    if (!modelSpace) {
        wave.channels[1][5] = {{3, {11585, 0}}};
        wave.channels[1][6] = {{1, {11585}}, {2, {16384}}};
    }
    if (variant == RigVariant::Turned) {
        wave.channels[0][0] = {{3, {2}}};
        wave.channels[0][5] = {{3, {11585}}};
        wave.channels[0][6] = {{3, {11585}}};
    }
    m.animations = {wave};
    m.attachments = {{"tip", 1, {1, 0, 0, 2, 0, 1, 0, 0, 0, 0, 1, 0}}};
    return m;
}
