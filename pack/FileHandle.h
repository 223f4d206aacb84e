// File access for everything Quillon reads or writes: packs, loose game
// files and extracted output. Sizes and positions are unsigned 32-bit; the
// games' files are all far below 2 GiB.
//
// Two backends are chosen at build time (FileHandle_win32.cpp,
// FileHandle_posix.cpp). The POSIX one turns '\' into '/' and finds path
// components ignoring ASCII case when they do not exist as written, so that
// game paths behave on Linux as they do on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FileHandle {
public:
    FileHandle();
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens an existing regular file for reading (others may read it too).
    // Closes whatever was open first. False leaves the record closed. Files
    // of 4 GiB or more are refused: no 32-bit size could describe them.
    bool Open(const char* path);
    // Creates or truncates a file for reading and writing, no sharing.
    bool Create(const char* path);
    // Always true; harmless on a closed record.
    bool Close();

    // True when exactly n bytes were read / written.
    bool Read(void* dst, uint32_t n);
    bool Write(const void* src, uint32_t n);
    // A new buffer of n bytes filled from the current position, or null when
    // fewer than n bytes arrived or the memory could not be had. n == 0 gives
    // an empty, non-null buffer.
    std::unique_ptr<uint8_t[]> ReadAll(uint32_t n);

    // Relative move; Skip(0) asks the position. 0xFFFFFFFF on failure.
    uint32_t Skip(int32_t delta);
    // Absolute move; positions of 2 GiB and more are refused.
    bool SeekTo(int32_t pos);
    // Length of the file; the position is left where it was.
    uint32_t Size();

    // Makes this record read owner's open file from pos on without owning
    // it: closing this record leaves owner's file open. Reads and moves here
    // never disturb owner, which must stay open while this record is used.
    bool Borrow(const FileHandle& owner, uint32_t pos);

    bool IsOpen() const { return handle != kInvalid; }
    // The path the file was opened with, '/' turned into '\'; null if closed.
    const char* Path() const { return path; }

    static const intptr_t kInvalid = -1;

    uint8_t closeOnRelease;
    intptr_t handle;  // HANDLE on Windows, file descriptor elsewhere
    char* path;
    // The record keeps its own position and reads and writes at it, so that
    // several records may share one system handle (see Borrow).
    uint32_t position;

private:
    void StorePath(const char* p);
    // The backend's close of a system handle.
    static void CloseSystemHandle(intptr_t h);
};

// True when path can be opened the way FileHandle::Open opens it.
bool FileExists(const char* path);

// Every '/' becomes '\', in place.
void ToBackslashes(char* s);
// Index just after the last '\' (only '\' counts); 0 without one.
uint32_t NameOffset(const char* path);
// Index just after the last '/' or '\\': where the file name of an in-pack
// path (which may use either) starts; 0 without one.
size_t FileNameStart(const std::string& path);
// Index of the last '.'; 0 without one, and 0 when the only '.' is the first
// character.
uint32_t ExtensionOffset(const char* name);

// The cheap first question of every packed-file read: could a loose file of
// this relative path exist? False only when it certainly does not. The POSIX
// backend answers from its folder listings, without a system call once a
// folder is listed; listings are renewed when the data folder is entered and
// when Quillon writes into a folder. Windows asks the file system.
bool LooseFileMayExist(const char* path);

// Names of the regular files in folder dir (relative or absolute, '\' or '/')
// whose extension equals ext (".nob", ".vpk") ignoring ASCII case, as bare
// file names. The Win32 backend asks for "dir\*.ext" and keeps the system's
// order; the POSIX backend sorts ignoring case, which is what NTFS delivers.
bool ListFilesWithExtension(const char* dir, const char* ext, std::vector<std::string>& names);

// The process's current directory.
bool SetCurrentDir(const char* dir);
std::string GetCurrentDir();

// Creates one folder (its parent must exist). True if it exists afterwards.
bool MakeFolder(const char* path);
// Replaces to with from (both files); used to put fully written files in
// place. On failure nothing is replaced.
bool ReplaceFile(const char* from, const char* to);
// Removes a file; true when it is gone.
bool RemoveFile(const char* path);
// This process's number, to make temporary names that no other process uses.
uint32_t ProcessNumber();
// Drops every cached folder listing the POSIX backend keeps for resolving
// case; Quillon calls it after writing into the data folder.
void ForgetFolderListings();
