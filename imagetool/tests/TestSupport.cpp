// Korvane - Pictorix image tool tests.
// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace TestSupport {

namespace {

void putU16(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

void putU32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace

QList<QRgb> snapshotPalette()
{
    return {qRgb(0, 0, 0),       qRgb(0, 0, 128),     qRgb(0, 128, 0),     qRgb(0, 128, 128),
            qRgb(128, 0, 0),     qRgb(128, 0, 128),   qRgb(128, 128, 0),   qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(0, 0, 255),     qRgb(0, 255, 0),     qRgb(0, 255, 255),
            qRgb(255, 0, 0),     qRgb(255, 0, 255),   qRgb(255, 255, 0),   qRgb(255, 255, 255)};
}

int snapshotIndex(int seed, int x, int y)
{
    // Long runs (for the run-length coders), single pixels and every index,
    // with a frame of index 12 so the picture's edges are easy to find.
    if (x == 0 || y == 0 || x == 319 || y == 239)
        return 12;
    if ((x * 7 + y * 3 + seed) % 53 == 0)
        return (x + y + seed) % 16;
    return ((x / 9) + (y / 5) + seed) % 16 == 15 ? 1 : ((x / 9) + (y / 5) + seed) % 16;
}

QByteArray snapshotBytes(int seed)
{
    QByteArray b(118, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putU32(b, 2, 38518);
    putU32(b, 10, 118);
    putU32(b, 14, 40);
    putU32(b, 18, 320);
    putU32(b, 22, 240);
    putU16(b, 26, 1);
    putU16(b, 28, 4);
    putU32(b, 34, 38400);
    const QList<QRgb> palette = snapshotPalette();
    for (int i = 0; i < 16; ++i) {
        b[54 + 4 * i] = char(qBlue(palette[i]));
        b[55 + 4 * i] = char(qGreen(palette[i]));
        b[56 + 4 * i] = char(qRed(palette[i]));
    }
    for (int row = 0; row < 240; ++row) {
        const int y = 239 - row; // bottom-up: the first row in the file is the lowest
        for (int x = 0; x < 320; x += 2)
            b.append(char(snapshotIndex(seed, x, y) << 4 | snapshotIndex(seed, x + 1, y)));
    }
    return b;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray run(const QString &program, const QStringList &args, bool *ok, int timeoutMs, QString *errorText)
{
    QProcess process;
    process.start(program, args);
    const bool ended = process.waitForStarted(timeoutMs) && process.waitForFinished(timeoutMs);
    if (!ended)
        process.kill();
    *ok = ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (errorText)
        *errorText = QString::fromLocal8Bit(process.readAllStandardError());
    return process.readAllStandardOutput();
}

QImage decodeWithImageMagick(const QString &path, const QString &format)
{
    bool ok = false;
    const QByteArray size = run(QStringLiteral("/usr/bin/identify"),
                                {QStringLiteral("-format"), QStringLiteral("%w %h\\n"), format + ':' + path}, &ok);
    if (!ok)
        return {};
    const QList<QByteArray> wh = size.split('\n').constFirst().split(' ');
    if (wh.size() != 2)
        return {};
    const int w = wh[0].toInt();
    const int h = wh[1].toInt();
    const QByteArray rgb = run(QStringLiteral("/usr/bin/convert"),
                               {format + ':' + path + QStringLiteral("[0]"), QStringLiteral("-depth"),
                                QStringLiteral("8"), QStringLiteral("rgb:-")},
                               &ok);
    if (!ok || w <= 0 || h <= 0 || rgb.size() != qsizetype(w) * h * 3)
        return {};
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), rgb.constData() + qsizetype(y) * w * 3, size_t(w) * 3);
    return image;
}

QString identifyFormat(const QString &path)
{
    bool ok = false;
    const QByteArray out = run(QStringLiteral("/usr/bin/identify"), {QStringLiteral("-format"), QStringLiteral("%m\\n"), path}, &ok);
    return ok ? QString::fromLatin1(out.split('\n').constFirst()) : QString();
}

QRect inkBox(const QImage &page)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    int left = rgb.width(), top = rgb.height(), right = -1, bottom = -1;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (qGray(line[x]) < 235) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

double meanChannelError(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size() || x.isNull())
        return 1e9;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar *p = x.constScanLine(row);
        const uchar *q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

double meanLumaError(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (double(a.width()) * a.height());
}

} // namespace TestSupport
