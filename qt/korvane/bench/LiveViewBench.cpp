// Korvane - viewer window benchmarks: the cost of painting one screen.
// SPDX-License-Identifier: MIT
#include "ScreenPicture.h"
#include "Zls740Simulator.h"

#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

using namespace korvane;

namespace {

// A screen image holding one of the simulator's pictures, decoded.
ScreenImage& decodedScreen(std::uint64_t index)
{
    static ScreenImage screen;
    const zls740sim::Frame frame = zls740sim::drawFrame(index);
    std::copy(frame.begin(), frame.end(), screen.frameBuffer().begin());
    screen.publishFrame(1);
    return screen;
}

// The window's backing store at the client size, as the paint sees it.
QImage clientArea(const benchmark::State& state)
{
    QImage target(int(state.range(0)), int(state.range(1)), QImage::Format_RGB32);
    target.fill(Qt::white);
    return target;
}

// A paint after a new screen: turned upright and coloured, then stretched.
void BM_PaintNewScreen(benchmark::State& state)
{
    QImage target = clientArea(state);
    ScreenPicture picture;
    std::uint64_t index = 0;
    ScreenImage& screen = decodedScreen(index);
    for (auto _ : state) {
        state.PauseTiming();
        decodedScreen(++index);
        state.ResumeTiming();
        QPainter painter(&target);
        picture.refresh(screen);
        ScreenPicture::draw(painter, target.rect(), picture.image());
    }
    benchmark::DoNotOptimize(target.constBits());
}

// A repaint of the screen already shown (exposure, resize, paused).
void BM_PaintSameScreen(benchmark::State& state)
{
    QImage target = clientArea(state);
    ScreenPicture picture;
    ScreenImage& screen = decodedScreen(0);
    picture.refresh(screen);
    for (auto _ : state) {
        QPainter painter(&target);
        picture.refresh(screen);
        ScreenPicture::draw(painter, target.rect(), picture.image());
    }
    benchmark::DoNotOptimize(target.constBits());
}

// Only the turn and the colour lookup of one screen.
void BM_ConvertScreen(benchmark::State& state)
{
    ScreenImage& screen = decodedScreen(0);
    for (auto _ : state) {
        screen.read([](const ScreenView& view) {
            QImage picture = ScreenPicture::fromView(view);
            benchmark::DoNotOptimize(picture.constBits());
        });
    }
}

void clientSizes(benchmark::internal::Benchmark* b)
{
    b->Args({320, 240})->Args({640, 480})->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_PaintNewScreen)->Apply(clientSizes);
BENCHMARK(BM_PaintSameScreen)->Apply(clientSizes);
BENCHMARK(BM_ConvertScreen)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
