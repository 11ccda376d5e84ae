#pragma once
#include <cstdint>
#include <cstdio>

extern int32_t bpp;              // 24 or 32
extern const char *firmwarePath; // as typed, so no BMP is written over it

// Reads the current picture from the firmware file into dakbuf; false, after
// one line of explanation, when nothing usable was read.
bool readDakData(FILE *firmware);

void convert24();
void convert32();
void expandPicture(); // the one of the two that bpp asks for

void writeBMP(const char *path);

// Extracts every entry of a list file; false when the list cannot be opened.
bool pullList(const char *listPath, FILE *firmware);
