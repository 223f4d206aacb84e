// The implementations of the two single-header image libraries, compiled
// once here (with their own warnings silenced) and configured for what
// Quillon needs: PNG only, from memory, libdeflate doing the writer's
// deflate and checksums.
#include <libdeflate.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace {

// stb_image_write's own deflate is small but slow and compresses less.
// libdeflate at level 1 (the writer asks for 8) is the fastest deflate we
// have: on the real game textures, which are mostly DXT-decoded blocks, it
// takes 40% of zlib's level-1 time for PNG files 7% smaller, and a quarter
// of its own level-6 time for files 12% larger. Deflate is most of what a PNG
// export costs.
const int kPngDeflateLevel = 1;

// One compressor per thread, kept: making one clears tables larger than a
// small texture.
struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// stb frees the result with free(), so it is allocated with malloc().
unsigned char* Deflate(unsigned char* data, int length, int* outLength, int) {
    static thread_local std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
        libdeflate_alloc_compressor(kPngDeflateLevel));
    libdeflate_compressor* c = compressor.get();
    if (c == nullptr) return nullptr;
    size_t bound = libdeflate_zlib_compress_bound(c, size_t(length));
    if (bound > size_t(INT_MAX)) return nullptr;  // the writer counts in int
    unsigned char* out = static_cast<unsigned char*>(std::malloc(bound));
    size_t size = out ? libdeflate_zlib_compress(c, data, size_t(length), out, bound) : 0;
    if (size == 0) {
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
#define STBIW_ZLIB_COMPRESS Deflate
#define STBIW_CRC32(buffer, length) (unsigned int)libdeflate_crc32(0, buffer, (size_t)(length))
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
