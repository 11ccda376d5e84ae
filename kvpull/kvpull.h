#pragma once
// kvpull's steps, in the order a picture goes through them: read from the
// firmware file, convert to BMP rows, write the BMP file; and the list run.
#include <cstdint>
#include <cstdio>

extern int32_t bpp; // 24 or 32

// readdak.cpp: reads the current picture from the firmware file into dakbuf;
// false, after one line of explanation, when nothing usable was read.
bool readDakData(FILE *firmware);

// convert.cpp: dakbuf to bmpbuf at the depth bpp asks for.
void convert24();
void convert32();
void expandPicture();

// writebmp.cpp: the files no BMP may be written over, then the writer.
enum GuardedFile { guardedFirmware, guardedList, guardedStdout, guardedFiles };
void guardFile(GuardedFile which, FILE *file);
void guardPath(GuardedFile which, const char *path);
void writeBMP(const char *path);

// list.cpp: extracts every entry of a list file; false when it cannot be opened.
bool pullList(const char *listPath, FILE *firmware);
