#pragma once
// How the tools open and position files, and every call the C++ standard
// library does not offer, for POSIX and Windows: 64-bit file positions, file
// identity, and the three standard descriptors.
#include <cstdint>
#include <cstdio>

// What makes two names the same file: device and inode on POSIX, volume
// serial number and file index on Windows.
// A volume that could not be told (a standard handle under Wine) matches any:
// refusing a file that only shares its index errs on the safe side.
struct FileId {
    uint64_t volume;
    uint64_t index;
};
constexpr uint64_t anyVolume = UINT64_MAX;
inline bool operator==(const FileId &a, const FileId &b) {
    return a.index == b.index &&
           (a.volume == b.volume || a.volume == anyVolume || b.volume == anyVolume);
}

// Puts the null device on each of descriptors 0, 1 and 2 that is closed, so
// that no file the run opens can take their place and receive its messages.
// Returns which were closed: bit 1 << fd for each.
unsigned guardStandardStreams();

// Opens a firmware, list or BMP file. A directory, and on Windows anything but
// a file on disk (the console, NUL, AUX, COM1, ...), is refused as if it did
// not open.
FILE *openNamedFile(const char *path, const char *mode);

// Opens a file for binary writing, creating it but not emptying it yet, so
// that what was opened can be checked before anything of it is lost; id is
// the opened file's identity (known false when it cannot be read), and full
// says it is a regular file that holds bytes. Refuses what openNamedFile
// refuses.
FILE *openUnemptied(const char *path, FileId &id, bool &known, bool &full);

// Empties a file that openUnemptied found full; false on failure.
bool emptyFile(FILE *file);

// The length of a regular file on disk; false (length unchanged) for a pipe,
// a device or when it cannot be told.
bool regularFileSize(FILE *file, uint64_t &length);

// Standard output as a byte stream: no CR LF translation on Windows, and a
// closed pipe is a failed write (not a signal that ends the run) on POSIX.
void rawStandardOutput();

// Takes the stream buffer off a firmware or BMP file (passing nullptr
// through): pictures move in whole blocks at known offsets, where a buffer
// only adds a copy and makes every seek read the block around its target.
FILE *unbuffered(FILE *file);

// Positions a file at a 64-bit offset from its start; false on failure.
bool seekTo(FILE *file, uint64_t offset);

// The length of an open file; false when it cannot be told.
bool fileLength(FILE *file, uint64_t &length);

// False when there is no such file or its identity cannot be read.
bool pathFileId(const char *path, FileId &id);
bool streamFileId(FILE *file, FileId &id);
