// The programs the tests check our pictures against: ImageMagick, netpbm and
// GIMP, as readers of what we write and writers of what we read. Native
// builds only: under Windows (and Wine) the codecs are the same portable
// code checked natively.
#pragma once

#ifndef _WIN32
#include "TestUtil.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace independent {

const char* const kConvert = "/usr/bin/convert";  // /usr/local/bin/convert may be a stand-in

inline bool Run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }
inline bool Convert(const std::string& args) { return Run(kConvert + (" " + args)); }
inline std::string Q(const std::string& path) { return "'" + path + "'"; }

// A PAM file of 8-bit samples (grey, grey + alpha, RGB or RGBA) as B, G, R, A
// bytes: grey spread to all three, alpha 255 where the file has none.
inline bool PamToBgra(const std::string& pam, std::string& bgra) {
    size_t end = pam.find("ENDHDR\n"), at = pam.find("DEPTH ");
    if (end == std::string::npos || at == std::string::npos) return false;
    size_t depth = size_t(std::atoi(pam.c_str() + at + 6));
    if (depth < 1 || depth > 4) return false;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(pam.data()) + end + 7;
    size_t pixels = (pam.size() - end - 7) / depth;
    bgra.clear();
    for (size_t i = 0; i < pixels; ++i, p += depth) {
        uint8_t r = p[0], g = depth >= 3 ? p[1] : p[0], b = depth >= 3 ? p[2] : p[0];
        uint8_t a = depth == 2 ? p[1] : depth == 4 ? p[3] : 255;
        bgra += std::string{char(b), char(g), char(r), char(a)};
    }
    return true;
}

// netpbm's reading of a PAM-convertible file: `to PAM` is the command that
// turns path into a PAM on its standard output (pngtopam -alphapam, ...).
inline bool NetpbmBgra(const TempDir& dir, const std::string& toPam, std::string& bgra) {
    std::string pam = dir / "netpbm.pam", text;
    return Run(toPam + " | pamdepth 255 > " + Q(pam)) && ReadWholeFile(pam, text) && PamToBgra(text, bgra);
}

// ImageMagick's reading as B, G, R, A, top row first: -auto-orient makes it
// honour the origin a Targa header states (ImageMagick 6 only records it).
inline bool ImageMagickBgra(const TempDir& dir, const std::string& path, std::string& bgra) {
    std::string raw = dir / "magick.raw";
    return Convert(Q(path) + " -auto-orient -depth 8 bgra:" + Q(raw)) && ReadWholeFile(raw, bgra);
}

// Runs GIMP 2.10 in batch mode on a Script-Fu expression. Its Targa plug-in
// opens a display, so it runs in a private X server.
inline bool Gimp(const std::string& expression) {
    return Run("xvfb-run -a gimp -i -b " + Q(expression) + " -b '(gimp-quit 0)' >/dev/null");
}

}  // namespace independent
#endif
