#pragma once
// The sources of kvlist's pages (templates, style, scripts), built into the
// program by cmake/embed.cmake, each found by its file name.
#include <cstddef>

struct PageAsset {
    const char *name;
    const unsigned char *data;
    size_t size;
};
extern const PageAsset pageAssets[];
extern const size_t pageAssetCount;

// The asset of this file name, or nullptr.
const PageAsset *findPageAsset(const char *name);
