#include "kvpush.h"

bool isValidAddress(uint32_t offset) { return offset >= windowFirst && offset <= windowLast; }
