// Korvane - engine benchmarks.
// SPDX-License-Identifier: MIT
//
// Decoding cost against a plain copy of one frame, and screens per second
// through a pseudo-terminal from the simulator, unpaced and paced.
#include "CommonTestSupport.h"
#include "Engine.h"
#include "FrameDecoder.h"
#include "ScreenImage.h"
#include "Zls740Simulator.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace korvane;

void fillRandom(std::uint8_t* bytes, std::size_t size)
{
    std::mt19937 random(1);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = std::uint8_t(random());
}

void BM_CopyFrame(benchmark::State& state)
{
    std::vector<std::uint8_t> from(kFrameBytes), to(kFrameBytes);
    fillRandom(from.data(), from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_CopyFrame);

// What the reader thread does with every frame: decode, palette, publish.
void BM_DecodeAndPublish(benchmark::State& state)
{
    ScreenImage image;
    fillRandom(image.frameBuffer().data(), kFrameBytes);
    for (auto _ : state) {
        image.publishFrame(1);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_DecodeAndPublish);

// Each decoding kernel on its own (0 portable, 1 SSE2, 2 AVX-512).
void BM_DecodeKernel(benchmark::State& state)
{
    const auto kernel = static_cast<FrameDecoder::Kernel>(state.range(0));
    if (!FrameDecoder::runsHere(kernel)) {
        state.SkipWithError("not on this processor");
        return;
    }
    std::vector<std::uint8_t> frame(kFrameBytes), pixels(kPixelBytes);
    fillRandom(frame.data(), frame.size());
    for (auto _ : state) {
        FrameDecoder::decode(kernel, frame.data(), pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}
BENCHMARK(BM_DecodeKernel)->DenseRange(0, 2);

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class QuietHost : public EngineHost {
public:
    void screenPublished() override {}
    void linkLost() override {}
};

// Screens per second that the engine decodes from the simulator on a
// pseudo-terminal; bytes_per_second = 0 is unpaced.
EngineConfig benchConfig(const std::string& workDir)
{
    EngineConfig config;
    config.workDir = workDir;
    return config;
}

void BM_LinkScreensPerSecond(benchmark::State& state)
{
    const double rate = double(state.range(0));
    const test::ScratchDir scratch;
    const std::string dir = scratch.path().string();
    zls740sim::SimulatorOptions options;
    options.linkDir = dir;
    options.comNumber = 9;
    options.bytesPerSecond = rate;
    zls740sim::Zls740Simulator sim(options);
    sim.start();
    QuietHost host;
    Engine engine(host, benchConfig(dir));
    engine.initEngine();
    engine.findScope();
    engine.openLink();
    auto screens = [&] {
        std::uint64_t n = 0;
        engine.screen().read([&](const ScreenView& view) { n = view.screenNumber; });
        return n;
    };
    while (screens() < 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    double fps = 0;
    double cpu = 0;
    for (auto _ : state) {
        const std::uint64_t first = screens();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        fps = double(screens() - first) / seconds;
        cpu = (processCpuSeconds() - cpuStart) / seconds;
    }
    state.counters["screens_per_s"] = fps;
    // Processor use of engine and simulator together, in % of one core.
    state.counters["cpu_pct_of_core"] = 100.0 * cpu;
    if (rate > 0)
        state.counters["pct_of_byte_rate"] = 100.0 * fps / (rate / double(kFrameBytes));
    engine.shutdown();
    sim.stop();
}
BENCHMARK(BM_LinkScreensPerSecond)->Arg(0)->Arg(1000000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
