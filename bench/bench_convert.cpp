// Pixels per second of the four conversions on a full 128 x 160 picture.
#include <benchmark/benchmark.h>

#include "bmp.h"
#include "kvpull.h"
#include "kvpush.h"
#include "picture.h"
#include "pixel.h"

namespace {

void setUp() {
    width = maxWidth;
    height = maxHeight;
    for (uint32_t i = 0; i < maxPixels; i++)
        putPixel(dakbuf + 2 * i, i * 40503u);
    bmpInfoHeader.biWidth = int32_t(maxWidth);
    bmpInfoHeader.biHeight = int32_t(maxHeight);
}

template <void (*convert)()> void bmConvert(benchmark::State &state) {
    setUp();
    if (convert == conv24to16 || convert == conv32to16) {
        bpp = convert == conv24to16 ? 24 : 32;
        expandPicture();
    }
    for (auto _ : state) {
        convert();
        benchmark::DoNotOptimize(bmpbuf);
        benchmark::DoNotOptimize(dakbuf);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * maxPixels);
}

BENCHMARK(bmConvert<convert24>)->Name("convert24");
BENCHMARK(bmConvert<convert32>)->Name("convert32");
BENCHMARK(bmConvert<conv24to16>)->Name("conv24to16");
BENCHMARK(bmConvert<conv32to16>)->Name("conv32to16");

} // namespace

BENCHMARK_MAIN();
