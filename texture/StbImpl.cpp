// The implementations of the two single-header image libraries, compiled
// once here (with their own warnings silenced) and configured for what
// Quillon needs: PNG only, from memory, zlib doing the writer's deflate and
// checksums.
#include <zlib.h>

#include <climits>
#include <cstdlib>

namespace {

// stb_image_write's own deflate is small but slow and compresses less;
// zlib's is the same one the game textures use. stb frees the result with
// free(), so it is allocated with malloc().
// The level is ours, not the writer's (it asks for 8). Game textures are
// mostly DXT-decoded blocks, where level 1 costs a third of level 6's time
// for files about a fifth larger.
const int kPngDeflateLevel = 1;

unsigned char* ZlibDeflate(unsigned char* data, int length, int* outLength, int) {
    uLong bound = compressBound(uLong(length));
    if (bound > uLong(INT_MAX)) return nullptr;
    unsigned char* out = static_cast<unsigned char*>(std::malloc(bound));
    if (out == nullptr) return nullptr;
    uLongf size = bound;
    if (compress2(out, &size, data, uLong(length), kPngDeflateLevel) != Z_OK) {
        std::free(out);
        return nullptr;
    }
    *outLength = int(size);
    return out;
}

}  // namespace

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS ZlibDeflate
#define STBIW_CRC32(buffer, length) (unsigned int)crc32(0, buffer, (uInt)(length))
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
