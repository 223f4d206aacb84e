// Map reader on arbitrary bytes: the directory, the entity text, the
// pakfile's zip directory and the text the pane shows. Every lump said to lie
// inside must do so, and every listed pakfile entry must fit its lump.
#include "map/BspMap.h"
#include "textview/FileViews.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BspMap map;
    if (!ReadBspMap(data, size, map)) return 0;
    for (const BspLump& l : map.lumps)
        if (l.inside && l.length != 0 && (l.offset < 0 || uint64_t(l.offset) + uint64_t(l.length) > size)) std::abort();
    const BspLump& pak = map.lumps[kBspPakfileLump];
    if (map.pakfileRead && map.pakfile.size() * 46 > uint64_t(pak.length)) std::abort();
    if (map.entities.size() > size_t(map.lumps[kBspEntityLump].length < 0 ? 0 : map.lumps[kBspEntityLump].length))
        std::abort();
    std::string text = MapText(map) + HexDumpText(data, size);
    volatile size_t sink = text.size();
    (void)sink;
    return 0;
}
