// Writes a synthetic firmware file with a few pictures inside the writable
// window, and the list file that names them, so the tools can be tried
// without a device.
#include <cstdint>
#include <cstdio>

#include "pixel.h"

namespace {

constexpr uint32_t firmwareSize = 0x9E6F56 + 40960;
uint8_t firmware[firmwareSize];

struct Picture {
    uint32_t offset, w, h;
    const char *name;
    uint32_t (*pixel)(uint32_t x, uint32_t y, uint32_t w, uint32_t h); // 5-bit levels packed
};

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 10 | g << 5 | b; }

uint32_t colourBars(uint32_t x, uint32_t, uint32_t w, uint32_t) {
    static const uint32_t bars[8] = {rgb(31, 31, 31), rgb(31, 31, 0), rgb(0, 31, 31), rgb(0, 31, 0),
                                     rgb(31, 0, 31),  rgb(31, 0, 0),  rgb(0, 0, 31),  rgb(0, 0, 0)};
    return bars[x * 8 / w];
}

// Three bands, red, green, blue, each through all 32 levels from left to right.
uint32_t ramp(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    uint32_t level = x * 32 / w;
    return level << (10 - 5 * (y * 3 / h));
}

uint32_t checkerboard(uint32_t x, uint32_t y, uint32_t, uint32_t) {
    return ((x / 8 + y / 8) & 1) ? rgb(31, 31, 31) : rgb(4, 4, 12);
}

// Odd width, and nothing symmetric: a flip, a channel swap or a row error shows.
uint32_t corner(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    if (x < w / 3 && y < h / 3)
        return rgb(31, 0, 0);
    return rgb(x * 31 / w, y * 31 / h, 8);
}

const Picture pictures[] = {
    {0x54DF26, 128, 160, "bars", colourBars},
    {0x558000, 128, 96, "ramp", ramp},
    {0x560000, 64, 64, "checker", checkerboard},
    {0x9E6F56, 37, 23, "corner", corner},
};

bool writeFile(const char *path, const void *data, size_t size) {
    FILE *f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        puts("usage: mksample <firmware-file> <list-file>");
        return 1;
    }
    // Bytes around the pictures: a pattern, so that a stray write shows.
    for (uint32_t i = 0; i < firmwareSize; i++)
        firmware[i] = uint8_t(i * 131 + (i >> 9));
    char list[1024];
    int used = snprintf(list, sizeof list, "# offset     unused  width height name\n");
    for (const Picture &p : pictures) {
        for (uint32_t y = 0; y < p.h; y++)
            for (uint32_t x = 0; x < p.w; x++)
                putPixel(firmware + p.offset + 2 * (y * p.w + x), p.pixel(x, y, p.w, p.h));
        used += snprintf(list + used, sizeof list - size_t(used), "0x%08X 0x0000 %3u %3u %s\n",
                         p.offset, p.w, p.h, p.name);
    }
    if (!writeFile(argv[1], firmware, firmwareSize) || !writeFile(argv[2], list, size_t(used))) {
        puts("sample write failed.");
        return 1;
    }
    return 0;
}
