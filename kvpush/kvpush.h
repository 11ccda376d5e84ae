#pragma once
// kvpush's steps, in the order a picture goes through them: check the offset
// against the window, read the BMP file, pack its rows into device pixels,
// write them into the firmware file; and the per-picture and list runs.
#include <cstdint>
#include <cstdio>

#include "list.h"

// writedak.cpp: whether a picture may start here (inside windowFirst..windowLast).
bool isValidAddress(uint32_t offset);

// readbmp.cpp: reads, checks and loads a BMP file into the header records and
// bmpbuf. Returns the number of pixel bytes loaded, or 0 after one line
// saying why the picture is refused.
int32_t readBMP(const char *path);

// convert.cpp: bmpbuf to dakbuf; width and height become the BMP's.
void conv24to16();
void conv32to16();
void packPicture(); // the one of the two that the BMP's bit count asks for

// writedak.cpp: writes the packed picture at address; the firmware file keeps
// its length. False after a failed write, when nothing more may be written.
bool writeDakData(FILE *firmware);

// list.cpp: every step for one picture, from the address line to the firmware
// write, alone or for each entry of a list file. Both stop at a failed write.
bool pushPicture(FILE *firmware, const char *bmpPath);
ListRun pushList(const char *listPath, FILE *firmware);
