#include "picture.h"

uint32_t address = 0;
uint32_t width = maxWidth;
uint32_t height = maxHeight;
uint8_t dakbuf[dakbufSize];
uint8_t bmpbuf[bmpbufSize];
