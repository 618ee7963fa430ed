#pragma once
#include <cstdint>

// a * b / c with a 64-bit product, rounded half away from zero; -1 when c is
// 0 or the result does not fit 32 bits. Percentages everywhere use it.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);
