# Imports .glb files into Blender as an artist would and prints what it made
# of each, in Blender's Z-up world, one line per fact:
#   BLENDER PATH TRIANGLES min-x-y-z max-x-y-z   the meshes' triangles and bounds
#   ARMATURE PATH BONES ACTIONS                   an armature: its bones, the actions
#   BONE PATH NAME x-y-z                          each bone's head
#   POSED PATH ACTION SECONDS min-x-y-z max-x-y-z the meshes deformed by an action
#                                                 half a second in, when it lasts so long
# Fields are separated by tabs, numbers within a field by spaces.
# usage: blender -b --factory-startup --python tools/blender_check.py -- FILE.glb...
import sys

import numpy

# Debian's numpy 1.24 dropped numpy.bool, which Blender 3.4's glTF importer uses.
numpy.bool = bool

import bpy  # noqa: E402

POSED_AT = 0.5  # seconds


def mesh_bounds(depsgraph):
    triangles = 0
    lo = [float("inf")] * 3
    hi = [float("-inf")] * 3
    for obj in bpy.context.scene.objects:
        if obj.type != "MESH":
            continue
        evaluated = obj.evaluated_get(depsgraph) if depsgraph else obj
        mesh = evaluated.to_mesh() if depsgraph else obj.data
        mesh.calc_loop_triangles()
        triangles += len(mesh.loop_triangles)
        for v in mesh.vertices:
            w = evaluated.matrix_world @ v.co
            for i in range(3):
                lo[i] = min(lo[i], w[i])
                hi[i] = max(hi[i], w[i])
        if depsgraph:
            evaluated.to_mesh_clear()
    return triangles, lo, hi


def xyz(v):
    return "%.4f %.4f %.4f" % tuple(v)


def report_armature(path, armature):
    actions = sorted(bpy.data.actions, key=lambda a: a.name)
    print("ARMATURE\t%s\t%d\t%d" % (path, len(armature.data.bones), len(actions)))
    for bone in armature.data.bones:
        print("BONE\t%s\t%s\t%s" % (path, bone.name, xyz(armature.matrix_world @ bone.head_local)))
    scene = bpy.context.scene
    frame = POSED_AT * scene.render.fps / scene.render.fps_base
    if armature.animation_data is None:
        armature.animation_data_create()
    for action in actions:
        if action.frame_range[1] < frame:
            continue
        armature.animation_data.action = action
        scene.frame_set(int(round(frame)))
        _, lo, hi = mesh_bounds(bpy.context.evaluated_depsgraph_get())
        print("POSED\t%s\t%s\t%g\t%s\t%s" % (path, action.name, POSED_AT, xyz(lo), xyz(hi)))


files = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
for path in files:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=path)
    # The meshes as stored, before any action moves them.
    for obj in bpy.context.scene.objects:
        if obj.type == "ARMATURE" and obj.animation_data is not None:
            obj.animation_data.action = None
    triangles, lo, hi = mesh_bounds(None)
    print("BLENDER\t%s\t%d\t%s\t%s" % (path, triangles, xyz(lo), xyz(hi)))
    for obj in bpy.context.scene.objects:
        if obj.type == "ARMATURE":
            report_armature(path, obj)
