#pragma once
// Real files for the fuzz targets, in /dev/shm when it is there: the tools
// read and write files, and the targets drive them through their own I/O.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

// A scratch file of this process, removed when the fuzzer exits.
inline std::string fuzzPath(const char *name) {
    static std::vector<std::string> paths;
    if (paths.empty())
        atexit([] {
            for (const std::string &p : paths)
                remove(p.c_str());
        });
    const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    paths.push_back(std::string(dir) + "/kvfuzz-" + std::to_string(getpid()) + "-" + name);
    return paths.back();
}

inline void writeWhole(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();
}

// The tools talk on standard output; at fuzzing speed that is only noise.
inline void silenceStdout() {
    if (!freopen("/dev/null", "w", stdout))
        abort();
}
