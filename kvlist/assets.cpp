#include "assets.h"

#include <cstring>

const PageAsset *findPageAsset(const char *name) {
    for (size_t i = 0; i < pageAssetCount; i++)
        if (strcmp(name, pageAssets[i].name) == 0)
            return &pageAssets[i];
    return nullptr;
}
