// POSIX backend of FileHandle and the folder functions.
//
// Game paths use '\' and are compared ignoring case, as on Windows. Here a
// path is first tried exactly as written (with '/'); only when that fails is
// it resolved component by component against a per-folder listing of
// lower-cased names. Every packed-file read first asks for a loose file of
// the same path, so this miss path must stay cheap: a listing is built once
// per folder and dropped when Quillon itself writes into that folder.
#include "pack/FileHandle.h"

#include "pack/Ascii.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Lower(std::string s) { return AsciiLowered(std::move(s)); }

std::string Slashes(const char* p) {
    std::string s(p);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

// Listing of one folder: lower-cased name -> the names on disk that fold to
// it. Where several names differ only in case the byte-wise smallest is
// taken, so the choice does not depend on the order readdir delivers them.
struct Listing {
    std::unordered_map<std::string, std::set<std::string>> byLower;

    // The name on disk for part: itself when it exists as written.
    const std::string* Find(const std::string& part) const {
        auto it = byLower.find(Lower(part));
        if (it == byLower.end() || it->second.empty()) return nullptr;
        auto exact = it->second.find(part);
        return exact != it->second.end() ? &*exact : &*it->second.begin();
    }
    void Add(const std::string& name) { byLower[Lower(name)].insert(name); }
    void Remove(const std::string& name) {
        auto it = byLower.find(Lower(name));
        if (it == byLower.end()) return;
        it->second.erase(name);
        if (it->second.empty()) byLower.erase(it);
    }
};

std::unordered_map<std::string, Listing>& Listings() {
    static std::unordered_map<std::string, Listing> cache;
    return cache;
}

const Listing* ListingOf(const std::string& folder) {
    auto& cache = Listings();
    auto it = cache.find(folder);
    if (it != cache.end()) return &it->second;
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (d == nullptr) return nullptr;
    Listing listing;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        listing.Add(name);
    }
    closedir(d);
    return &cache.emplace(folder, std::move(listing)).first->second;
}

// Quillon's own writes keep a listed folder's listing true without listing
// it again: an extraction writes thousands of files into one folder.
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    size_t slash = path.find_last_of('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (slash == 0) folder = "/";
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

void NoteAdded(const std::string& path) {
    std::string folder, name;
    SplitPath(path, folder, name);
    auto it = Listings().find(folder);
    if (it == Listings().end()) return;
    it->second.Add(name);
}

void NoteRemoved(const std::string& path) {
    std::string folder, name;
    SplitPath(path, folder, name);
    auto it = Listings().find(folder);
    if (it == Listings().end()) return;
    it->second.Remove(name);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Resolves path (already with '/') ignoring ASCII case. With lastMayBeNew the
// final component need not exist (for creation); it is then kept as written.
bool Resolve(const std::string& path, bool lastMayBeNew, std::string& out) {
    std::string folder;
    size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        folder = "/";
        pos = 1;
    }
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(pos, end - pos);
        bool last = end == path.size();
        pos = end + 1;
        if (part.empty() || part == ".") {
            if (last) break;
            continue;
        }
        if (part == "..") {
            folder = Join(folder, part);
            continue;
        }
        const Listing* listing = ListingOf(folder);
        const std::string* found = listing ? listing->Find(part) : nullptr;
        if (found != nullptr) {
            folder = Join(folder, *found);
        } else if (last && lastMayBeNew) {
            folder = Join(folder, part);
        } else {
            return false;
        }
    }
    out = folder.empty() ? std::string(".") : folder;
    return true;
}

// Opens p (as written, then resolved ignoring case).
int OpenResolved(const char* p, int flags, mode_t mode, std::string* used) {
    std::string path = Slashes(p);
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Creating must reach an existing file whatever the case of its name, as
    // on Windows, so it always resolves; opening tries the exact path first.
    int fd = -1;
    if ((flags & O_CREAT) == 0) fd = open(path.c_str(), flags | O_CLOEXEC, mode);
    else errno = ENOENT;
    if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) {
        if (used) *used = path;
        return fd;
    }
    std::string resolved;
    if (!Resolve(path, (flags & O_CREAT) != 0, resolved)) return -1;
    fd = open(resolved.c_str(), flags | O_CLOEXEC, mode);
    if (used) *used = resolved;
    return fd;
}

bool IsUsableFile(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= 0xFFFFFFFFull;
}

}  // namespace

FileHandle::FileHandle() : closeOnRelease(1), handle(kInvalid), path(nullptr), position(0) {}

FileHandle::~FileHandle() { Close(); }

bool FileHandle::Open(const char* p) {
    Close();
    int fd = OpenResolved(p, O_RDONLY, 0, nullptr);
    if (fd < 0) return false;
    if (!IsUsableFile(fd)) {
        close(fd);
        return false;
    }
    handle = fd;
    StorePath(p);
    return true;
}

bool FileHandle::Create(const char* p) {
    Close();
    std::string used;
    int fd = OpenResolved(p, O_RDWR | O_CREAT | O_TRUNC, 0644, &used);
    if (fd < 0) return false;
    if (!IsUsableFile(fd)) {
        close(fd);
        return false;
    }
    NoteAdded(used);
    handle = fd;
    StorePath(p);
    return true;
}

void FileHandle::CloseSystemHandle(intptr_t h) { close(static_cast<int>(h)); }

bool FileHandle::Read(void* dst, uint32_t n) {
    if (handle == kInvalid) return false;
    uint8_t* out = static_cast<uint8_t*>(dst);
    uint32_t done = 0;
    while (done < n) {
        ssize_t got = pread(static_cast<int>(handle), out + done, n - done, off_t(position) + done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<uint32_t>(got);
    }
    position += done;
    return done == n;
}

bool FileHandle::Write(const void* src, uint32_t n) {
    if (handle == kInvalid || uint64_t(position) + n > 0xFFFFFFFFull) return false;
    const uint8_t* in = static_cast<const uint8_t*>(src);
    uint32_t done = 0;
    while (done < n) {
        ssize_t put = pwrite(static_cast<int>(handle), in + done, n - done, off_t(position) + done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) break;
        done += static_cast<uint32_t>(put);
    }
    position += done;
    return done == n;
}

uint32_t FileHandle::Size() {
    struct stat st;
    if (handle == kInvalid || fstat(static_cast<int>(handle), &st) != 0) return 0;
    return static_cast<uint32_t>(st.st_size);
}

bool LooseFileMayExist(const char* p) {
    if (*p == '\0') return false;
    // Absolute paths and ones that climb out are rare; let the file system say.
    if (*p == '/' || *p == '\\' || std::strstr(p, "..") != nullptr) return true;
    // Nearly every packed file's first folder has no loose twin: answer that
    // from the data folder's listing before building any path.
    size_t first = std::strcspn(p, "/\\");
    const Listing* top = ListingOf(std::string());
    if (top != nullptr && p[first] != '\0' && top->Find(std::string(p, first)) == nullptr) return false;
    std::string resolved;
    return Resolve(Slashes(p), false, resolved);
}

bool FileExists(const char* p) {
    int fd = OpenResolved(p, O_RDONLY, 0, nullptr);
    if (fd < 0) return false;
    bool ok = IsUsableFile(fd);
    close(fd);
    return ok;
}

bool ListFilesWithExtension(const char* dir, const char* ext, std::vector<std::string>& names) {
    names.clear();
    std::string folder = Slashes(dir);
    std::string resolved;
    if (folder.empty()) folder = ".";
    if (!Resolve(folder, false, resolved)) return false;
    DIR* d = opendir(resolved.c_str());
    if (d == nullptr) return false;
    std::string wanted = Lower(ext);
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() <= wanted.size()) continue;
        if (Lower(name.substr(name.size() - wanted.size())) != wanted) continue;
        struct stat st;
        if (stat(Join(resolved, name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = Lower(a), lb = Lower(b);
        return la != lb ? la < lb : a < b;
    });
    return true;
}

bool SetCurrentDir(const char* dir) {
    std::string path = Slashes(dir), resolved;
    if (!Resolve(path, false, resolved)) return false;
    if (chdir(resolved.c_str()) != 0) return false;
    // Relative listings named folders below the old directory.
    Listings().clear();
    return true;
}

std::string GetCurrentDir() {
    char buf[4096];
    if (getcwd(buf, sizeof buf) == nullptr) return std::string();
    return buf;
}

bool MakeFolder(const char* p) {
    std::string path = Slashes(p), resolved;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!Resolve(path, true, resolved)) return false;
    int rc = mkdir(resolved.c_str(), 0755);
    if (rc == 0) NoteAdded(resolved);
    struct stat st;
    return (rc == 0 || errno == EEXIST) && stat(resolved.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReplaceFile(const char* from, const char* to) {
    std::string a, b;
    if (!Resolve(Slashes(from), false, a) || !Resolve(Slashes(to), true, b)) return false;
    bool ok = std::rename(a.c_str(), b.c_str()) == 0;
    if (ok) {
        NoteRemoved(a);
        NoteAdded(b);
    }
    return ok;
}

bool RemoveFile(const char* p) {
    std::string resolved;
    if (!Resolve(Slashes(p), false, resolved)) return true;
    bool ok = unlink(resolved.c_str()) == 0 || errno == ENOENT;
    NoteRemoved(resolved);
    return ok;
}

void ForgetFolderListings() { Listings().clear(); }

uint32_t ProcessNumber() {
    static const uint32_t number = static_cast<uint32_t>(getpid());
    return number;
}
