// Korvane - icon export for installing.
// SPDX-License-Identifier: MIT
//
// korvane-icons: writes the programs' own pictures, which are drawn in code:
// as PNG files laid out like the hicolor icon theme, for the desktop menu,
//   OUTDIR/<size>x<size>/apps/korvane.png and .../pictorix.png
// or with --windows as the files of the Windows programs' resources,
//   OUTDIR/korvane.ico, OUTDIR/korvane-about.bmp and OUTDIR/pictorix.ico.
// Usage: korvane-icons OUTDIR SIZE...
//        korvane-icons --windows OUTDIR
#include "PictorixIcon.h"
#include "ResourcePictures.h"
#include "ViewerPictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

bool writePng(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "png") && file.commit();
}

}  // namespace

int main(int argc, char* argv[])
{
    // The icons are shapes painted on images: no display, no fonts, so no
    // windowing platform to set up (a build step must not wait for one).
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fputs("usage: korvane-icons OUTDIR SIZE...\n       korvane-icons --windows OUTDIR\n", stderr);
        return 2;
    }
    if (args[1] == QLatin1String("--windows")) {
        if (!QDir().mkpath(args[2]) || !korvane::ResourcePictures::writeAll(args[2])) {
            std::fprintf(stderr, "korvane-icons: cannot write the pictures in %s\n", qPrintable(args[2]));
            return 1;
        }
        return 0;
    }
    for (qsizetype i = 2; i < args.size(); ++i) {
        bool number = false;
        const int size = args[i].toInt(&number);
        if (!number || size < 16 || size > 1024) {
            std::fprintf(stderr, "korvane-icons: bad size '%s'\n", qPrintable(args[i]));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[1]).arg(size);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "korvane-icons: cannot make %s\n", qPrintable(folder));
            return 1;
        }
        const QString korvane = folder + QStringLiteral("/korvane.png");
        const QString pictorix = folder + QStringLiteral("/pictorix.png");
        if (!writePng(korvane::ViewerPictures::iconImage(size), korvane)
            || !writePng(korvane::PictorixIcon::render(size), pictorix)) {
            std::fprintf(stderr, "korvane-icons: cannot write the icons in %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
