#include "os.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
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
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}
} // namespace

void guardStandardStreams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (_get_osfhandle(fd) != -1)
            continue;
        const int null = _open("NUL", _O_RDWR);
        if (null >= 0 && null != fd) {
            _dup2(null, fd);
            _close(null);
        }
    }
}

// Windows refuses to open a directory as a file already.
FILE *openNamedFile(const char *path, const char *mode) { return fopen(path, mode); }

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

void guardStandardStreams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
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
