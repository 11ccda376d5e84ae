#include "os.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

// 64-bit positions whatever the size of long.
#ifdef _WIN32
using FileOffset = int64_t;
#define seek64 _fseeki64
#define tell64 _ftelli64
#else
using FileOffset = off_t; // 64 bits, as the build sets _FILE_OFFSET_BITS=64
static_assert(sizeof(off_t) == 8, "64-bit file offsets");
#define seek64 fseeko
#define tell64 ftello
#endif

bool seekTo(FILE *file, uint64_t offset) {
    return offset <= uint64_t(INT64_MAX) && seek64(file, FileOffset(offset), SEEK_SET) == 0;
}

bool fileLength(FILE *file, uint64_t &length) {
    if (seek64(file, 0, SEEK_END) != 0)
        return false;
    const FileOffset end = tell64(file);
    length = uint64_t(end);
    return end >= 0;
}

FILE *unbuffered(FILE *file) {
    if (file)
        setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

#ifdef _WIN32

namespace {
bool handleFileId(HANDLE h, FileId &id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE)
        return false;
    if (GetFileInformationByHandle(h, &info)) {
        id.volume = info.dwVolumeSerialNumber;
        id.index = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
        return true;
    }
    // Wine answers only this for a standard handle that a POSIX parent
    // redirected to a file, and without the volume.
    FILE_ID_INFO fid;
    if (!GetFileInformationByHandleEx(h, FileIdInfo, &fid, sizeof fid))
        return false;
    id.volume = fid.VolumeSerialNumber ? fid.VolumeSerialNumber : anyVolume;
    id.index = 0;
    for (int i = 7; i >= 0; i--)
        id.index = id.index << 8 | fid.FileId.Identifier[i];
    return true;
}
} // namespace

unsigned guardStandardStreams() {
    unsigned closed = 0;
    for (int fd = 0; fd <= 2; fd++) {
        if (_get_osfhandle(fd) != -1)
            continue;
        closed |= 1u << fd;
        const int null = _open("NUL", _O_RDWR);
        if (null >= 0 && null != fd) {
            _dup2(null, fd);
            _close(null);
        }
    }
    return closed;
}

namespace {
// Device names (CON, NUL, AUX, COM1, ...) open in any folder, with any
// extension: only the opened handle tells a file on disk from them.
bool onDisk(int fd) { return fd >= 0 && GetFileType(HANDLE(_get_osfhandle(fd))) == FILE_TYPE_DISK; }
} // namespace

// Windows refuses to open a directory as a file already.
FILE *openNamedFile(const char *path, const char *mode) {
    FILE *file = fopen(path, mode);
    if (file && !onDisk(_fileno(file))) {
        fclose(file);
        return nullptr;
    }
    return file;
}

FILE *openUnemptied(const char *path, FileId &id, bool &known, bool &full) {
    const int fd = _open(path, _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    FILE *file = onDisk(fd) ? _fdopen(fd, "wb") : nullptr;
    if (!file) {
        _close(fd);
        return nullptr;
    }
    known = handleFileId(HANDLE(_get_osfhandle(fd)), id);
    LARGE_INTEGER size;
    full = !GetFileSizeEx(HANDLE(_get_osfhandle(fd)), &size) || size.QuadPart != 0;
    return file;
}

bool emptyFile(FILE *file) { return _chsize_s(_fileno(file), 0) == 0; }

bool regularFileSize(FILE *file, uint64_t &length) {
    const int fd = _fileno(file);
    LARGE_INTEGER size;
    if (!onDisk(fd) || !GetFileSizeEx(HANDLE(_get_osfhandle(fd)), &size) || size.QuadPart < 0)
        return false;
    length = uint64_t(size.QuadPart);
    return true;
}

void rawStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

bool pathFileId(const char *path, FileId &id) {
    // Reading attributes only; backup semantics let a directory be named too.
    HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool ok = handleFileId(h, id);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return ok;
}

bool streamFileId(FILE *file, FileId &id) {
    const int fd = _fileno(file);
    return fd >= 0 && handleFileId(HANDLE(_get_osfhandle(fd)), id);
}

#else

namespace {
void statFileId(const struct stat &st, FileId &id) {
    id.volume = uint64_t(st.st_dev);
    id.index = uint64_t(st.st_ino);
}
} // namespace

unsigned guardStandardStreams() {
    unsigned closed = 0;
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        closed |= 1u << fd;
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
    return closed;
}

// Opening a directory for reading succeeds here; it is no firmware or list file.
FILE *openNamedFile(const char *path, const char *mode) {
    FILE *file = fopen(path, mode);
    struct stat st;
    if (file && fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(file);
        return nullptr;
    }
    return file;
}

// Only a regular file has a length to cut: a device (/dev/null) is written as
// it is; one that cannot be told is cut, and fails if it is none.
FILE *openUnemptied(const char *path, FileId &id, bool &known, bool &full) {
    const int fd = open(path, O_WRONLY | O_CREAT, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st;
    known = fstat(fd, &st) == 0;
    if (known)
        statFileId(st, id);
    full = !known || (S_ISREG(st.st_mode) && st.st_size != 0);
    FILE *file = fdopen(fd, "wb");
    if (!file)
        close(fd);
    return file;
}

bool emptyFile(FILE *file) { return ftruncate(fileno(file), 0) == 0; }

bool regularFileSize(FILE *file, uint64_t &length) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
        return false;
    length = uint64_t(st.st_size);
    return true;
}

void rawStandardOutput() { signal(SIGPIPE, SIG_IGN); }

bool pathFileId(const char *path, FileId &id) {
    struct stat st;
    if (stat(path, &st) != 0)
        return false;
    statFileId(st, id);
    return true;
}

bool streamFileId(FILE *file, FileId &id) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0)
        return false;
    statFileId(st, id);
    return true;
}

#endif
