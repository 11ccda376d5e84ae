#pragma once
#include <cstdint>
#include <cstdio>

// Pictures may only start inside this window of firmware offsets.
constexpr uint32_t windowFirst = 0x54DF26;
constexpr uint32_t windowLast = 0x9E6F56;

bool isValidAddress(uint32_t offset);

// Reads, checks and loads a BMP file into the header records and bmpbuf.
// Returns the number of pixel bytes loaded, or 0 after one line saying why
// the picture is refused.
int32_t readBMP(const char *path);

void conv24to16();
void conv32to16();

// Writes the packed picture at address; the firmware file keeps its length.
void writeDakData(FILE *firmware);

// Every step for one picture, from the address line to the firmware write.
void pushPicture(FILE *firmware, const char *bmpPath);

// Pushes every entry of a list file; false when the list cannot be opened.
bool pushList(const char *listPath, FILE *firmware);
