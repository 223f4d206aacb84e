# Imports .glb files into Blender as an artist would and prints, for each,
# the triangle count and the bounds of the imported objects in Blender's
# Z-up world, one line each:  PATH<TAB>TRIANGLES<TAB>min x y z<TAB>max x y z
# usage: blender -b --factory-startup --python tools/blender_check.py -- FILE.glb...
import sys

import numpy

# Debian's numpy 1.24 dropped numpy.bool, which Blender 3.4's glTF importer uses.
numpy.bool = bool

import bpy  # noqa: E402

files = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
for path in files:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=path)
    triangles = 0
    lo = [float("inf")] * 3
    hi = [float("-inf")] * 3
    for obj in bpy.context.scene.objects:
        if obj.type != "MESH":
            continue
        mesh = obj.data
        mesh.calc_loop_triangles()
        triangles += len(mesh.loop_triangles)
        for v in mesh.vertices:
            w = obj.matrix_world @ v.co
            for i in range(3):
                lo[i] = min(lo[i], w[i])
                hi[i] = max(hi[i], w[i])
    print("BLENDER\t%s\t%d\t%.4f %.4f %.4f\t%.4f %.4f %.4f" % (path, triangles, *lo, *hi))
