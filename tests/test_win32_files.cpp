// What only the Win32 file layer shows: share modes, device names, the
// short-name matches of FindFirstFileA patterns, and the 4 GiB limit on a
// system whose sizes are 64-bit. The portable file tests run here too.
#ifdef _WIN32

#include "pack/FileHandle.h"
#include "TestUtil.h"

#include <algorithm>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winioctl.h>
#undef ReplaceFile

namespace {

std::string Contents(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
    return bytes;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// A file of the given length whose bytes are never written, so that even the
// 4 GiB case costs no disk space or time (sparse on NTFS; Wine's files are
// sparse anyway and it ignores the request).
bool MakeFileOfSize(const std::string& path, uint64_t size) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD unused = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    bool ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok;
}

}  // namespace

TEST(Win32Sharing, AFileBeingWrittenDoesNotExistForReaders) {
    TempDir dir;
    std::string path = dir / "out.nob";
    FileHandle writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    ASSERT_TRUE(writer.Write("half", 4));

    // Create shares nothing, so a half-written pack is never picked up,
    // not even by a reader that would put up with writers.
    EXPECT_FALSE(FileExists(path.c_str()));
    FileHandle reader;
    EXPECT_FALSE(reader.Open(path.c_str()));
    EXPECT_FALSE(reader.IsOpen());
    HANDLE tolerant = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(tolerant, INVALID_HANDLE_VALUE);
    if (tolerant != INVALID_HANDLE_VALUE) CloseHandle(tolerant);

    writer.Close();
    EXPECT_TRUE(FileExists(path.c_str()));
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(reader.Size(), 4u);
}

TEST(Win32Sharing, ReadersShareButAnOpenFileCannotBeTruncatedReplacedOrRemoved) {
    TempDir dir;
    dir.Write("game.nob", "packed");
    dir.Write("game.tmp", "rewritten");
    std::string path = dir / "game.nob";
    std::string fresh = dir / "game.tmp";

    FileHandle first, second;
    ASSERT_TRUE(first.Open(path.c_str()));
    EXPECT_TRUE(second.Open(path.c_str())) << "Open must let others read";
    EXPECT_TRUE(FileExists(path.c_str()));

    FileHandle writer;
    EXPECT_FALSE(writer.Create(path.c_str())) << "Create wants write access, which readers deny";
    HANDLE sharing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(sharing, INVALID_HANDLE_VALUE) << "no other program may write into a pack we read";
    if (sharing != INVALID_HANDLE_VALUE) CloseHandle(sharing);
    EXPECT_FALSE(ReplaceFile(fresh.c_str(), path.c_str())) << "readers do not share deletion";
    EXPECT_FALSE(RemoveFile(path.c_str())) << "the file is still there, so RemoveFile must say so";
    first.Close();
    second.Close();
    EXPECT_EQ(Contents(path), "packed") << "a refused Create or ReplaceFile must leave the file as it was";
    EXPECT_EQ(Contents(fresh), "rewritten");

    ASSERT_TRUE(ReplaceFile(fresh.c_str(), path.c_str()));
    EXPECT_EQ(Contents(path), "rewritten");
}

// Borrowed records share the owner's HANDLE, whose single file pointer
// would mix their positions up unless every transfer names its offset.
TEST(Win32Files, RecordsSharingAHandleKeepTheirOwnPositions) {
    TempDir dir;
    dir.Write("pack.vpk", "0123456789");
    FileHandle owner, borrowed;
    ASSERT_TRUE(owner.Open((dir / "pack.vpk").c_str()));
    char got[3] = {};
    ASSERT_TRUE(owner.Read(got, 2));
    ASSERT_TRUE(borrowed.Borrow(owner, 6));
    ASSERT_TRUE(borrowed.Read(got, 2));
    EXPECT_STREQ(got, "67");
    ASSERT_TRUE(owner.Read(got, 2));
    EXPECT_STREQ(got, "23");
    EXPECT_FALSE(borrowed.Read(got, 3)) << "only 2 bytes are left after 8";
    borrowed.Close();
    ASSERT_TRUE(owner.Read(got, 2)) << "closing a borrower leaves the owner's file open";
    EXPECT_STREQ(got, "45");

    FileHandle out;
    ASSERT_TRUE(out.Create((dir / "out.bin").c_str()));
    ASSERT_TRUE(out.Write("abc", 3));
    ASSERT_TRUE(out.SeekTo(1));
    ASSERT_TRUE(out.Write("X", 1));
    out.Close();
    EXPECT_EQ(Contents(dir / "out.bin"), "aXc");
}

TEST(Win32Files, DeviceNamesAreNotFiles) {
    TempDir dir;
    // CreateFileA opens these devices in every folder, with any extension.
    for (std::string name : {std::string("NUL"), std::string("nul.nob"), dir / "NUL"}) {
        FileHandle f;
        EXPECT_FALSE(f.Open(name.c_str())) << name;
        EXPECT_FALSE(f.IsOpen()) << name;
        EXPECT_FALSE(FileExists(name.c_str())) << name;
        EXPECT_FALSE(f.Create(name.c_str())) << name;
        EXPECT_FALSE(f.IsOpen()) << name;
    }
}

TEST(Win32Files, OpenRefusesFilesOf4GiBAndMore) {
    TempDir dir;
    std::string largest = dir / "largest.nob";
    std::string tooLarge = dir / "too_large.nob";
    ASSERT_TRUE(MakeFileOfSize(largest, 0xFFFFFFFFull));
    ASSERT_TRUE(MakeFileOfSize(tooLarge, 0x100000000ull));

    FileHandle f;
    ASSERT_TRUE(f.Open(largest.c_str())) << "the largest 32-bit size still fits";
    EXPECT_EQ(f.Size(), 0xFFFFFFFFu);
    EXPECT_TRUE(f.SeekTo(0x7FFFFFFF));
    EXPECT_EQ(f.Skip(0x7FFFFFFF), 0xFFFFFFFEu);
    EXPECT_EQ(f.Skip(0), 0xFFFFFFFEu);
    EXPECT_EQ(f.Skip(-0x7FFFFFFF), 0x7FFFFFFFu);
    EXPECT_EQ(f.Skip(INT32_MIN), 0xFFFFFFFFu) << "a move before the start fails";
    EXPECT_EQ(f.Skip(0), 0x7FFFFFFFu) << "and leaves the position alone";

    EXPECT_FALSE(f.Open(tooLarge.c_str())) << "a 32-bit size would read as 0";
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(FileExists(tooLarge.c_str()));
}

TEST(Win32Listing, KeepsOnlyTrueExtensionsIgnoringCase) {
    TempDir dir;
    // c.nobx and e.nobble have the short names C~1.NOB and E~1.NOB, which
    // the "*.nob" pattern matches.
    for (const char* name : {"a.NOB", "b.nob", "c.nobx", "d.txt", "e.nobble", "g.nob.txt", "h.Nob"})
        dir.Write(name, "x");
    dir.Write("f.nob\\inner.nob", "a folder named like a pack");

    const std::vector<std::string> expected{"a.NOB", "b.nob", "h.Nob"};
    std::string slashed = dir.path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const std::string& folder : {dir.path, dir.path + "\\", slashed + "/"}) {
        std::vector<std::string> names;
        ASSERT_TRUE(ListFilesWithExtension(folder.c_str(), ".nob", names)) << folder;
        EXPECT_EQ(Sorted(names), expected) << folder;
        ASSERT_TRUE(ListFilesWithExtension(folder.c_str(), ".NOB", names)) << folder;
        EXPECT_EQ(Sorted(names), expected) << folder << ": the extension asked for ignores case too";
    }

    CwdGuard cwd;
    ASSERT_TRUE(SetCurrentDir(dir.path.c_str()));
    std::vector<std::string> names;
    ASSERT_TRUE(ListFilesWithExtension("", ".nob", names)) << "an empty folder name is the current one";
    EXPECT_EQ(Sorted(names), expected);
}

#endif  // _WIN32
