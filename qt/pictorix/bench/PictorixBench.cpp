// Korvane - Pictorix image tool benchmarks.
// SPDX-License-Identifier: MIT
//
// Start-up to the window shown, and saving the snapshot in each format.
// Run with QT_QPA_PLATFORM=offscreen (or on a display).
#include "FormatCode.h"
#include "FrmZLS740.h"
#include "QtPicture.h"
#include "SnapshotLoader.h"
#include "TwistedPixel.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

using namespace korvane::pictorix;

namespace {

// A 16-colour 320x240 snapshot as the viewer writes it, with a busy pattern.
QByteArray snapshotBytes()
{
    QImage picture(320, 240, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 16; ++i)
        palette.append(qRgb((i & 4) ? 255 : 0, (i & 2) ? 255 : 0, (i & 1) ? 255 : 0));
    picture.setColorTable(palette);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            picture.setPixel(x, y, (x / 8 + y / 6 + (x * y) % 7) % 16);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

void BM_StartupToWindowShown(benchmark::State& state)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Temp.bmp")));
    file.open(QIODevice::WriteOnly);
    file.write(snapshotBytes());
    file.close();
    for (auto _ : state) {
        FrmZLS740 form;
        form.load(dir.path());
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            state.SkipWithError("the window was not shown");
        benchmark::DoNotOptimize(form.fileTypeCode());
    }
}
BENCHMARK(BM_StartupToWindowShown)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state)
{
    const auto code = qint16(state.range(0));
    state.SetLabel(FormatCode::name(code));
    QTemporaryDir dir;
    TwistedPixel control;
    const QByteArray bytes = snapshotBytes();
    control.setImagePicture(
        QtPicture::toImage(SnapshotLoader::decode(std::string_view(bytes.constData(), bytes.size()), "snapshot")));
    QString name = dir.filePath(QStringLiteral("0408114955"));
    for (auto _ : state) {
        qint16 formatCode = code;
        control.saveImage(name, formatCode);
    }
}
BENCHMARK(BM_Save)->Arg(4)->Arg(8)->Arg(9)->Arg(10)->Arg(11)->Arg(5)->Arg(6)->Arg(7)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
