// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#include "TwistedPixel.h"

#include "BmpWriter.h"
#include "FormatCode.h"
#include "GifWriter.h"
#include "IconWriter.h"
#include "PcxWriter.h"
#include "QtPicture.h"
#include "RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <sstream>

namespace korvane::pictorix {

namespace {

constexpr int kNotSupported = 438;
constexpr int kWrongArguments = 450;
// Quality of the JPEG writer, 0 to 100: high enough that the thin traces of a
// screen picture stay clean; the files stay small all the same.
constexpr int kJpegQuality = 95;

RuntimeError encodingFailed(qint16 code, const QString& why)
{
    return RuntimeError(RuntimeError::kEncodingFailed,
                        "Cannot save the picture as " + FormatCode::name(code) + ": " + why.toStdString());
}

RuntimeError fileAccess(const QString& fileName, const QString& why)
{
    return RuntimeError(RuntimeError::kFileAccess,
                        QStringLiteral("Path/File access error: cannot write %1 (%2)")
                            .arg(QDir::toNativeSeparators(fileName), why)
                            .toStdString());
}

RuntimeError wrongArguments()
{
    return RuntimeError(kWrongArguments, "Wrong number of arguments or invalid property assignment");
}

void writeWithQt(QIODevice& device, const QImage& picture, const char* format, qint16 code)
{
    QImageWriter writer(&device, format);
    if (qstrcmp(format, "jpeg") == 0)
        writer.setQuality(kJpegQuality);
    if (qstrcmp(format, "tiff") == 0)
        writer.setCompression(1);  // LZW: lossless and much smaller than raw
    if (!writer.write(picture))
        throw encodingFailed(code, writer.errorString());
}

// The bmp and pcx files, written by the writers every face of the tool shares.
template <typename Writer>
bool writeShared(QIODevice& device, const QImage& picture, QString* error)
{
    std::ostringstream bytes;
    if (!Writer::write(bytes, QtPicture::fromImage(picture))) {
        *error = QStringLiteral("the picture cannot be written in this format");
        return false;
    }
    // A write may take only part of the bytes (a disk filling up); the
    // next one then tells why.
    const std::string& written = bytes.str();
    for (qint64 done = 0, step = 0; done < qint64(written.size()); done += step) {
        step = device.write(written.data() + done, qint64(written.size()) - done);
        if (step <= 0) {
            *error = device.errorString();
            return false;
        }
    }
    return true;
}

}  // namespace

TwistedPixel::TwistedPixel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("tpBMP"));
    // Button text on button face, as the control shows itself on the form.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ButtonText));
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);
}

QVariant TwistedPixel::invoke(int dispId, Call call, QVariantList& args)
{
    if (dispId == DispImagePicture && call == Call::PropertyGet) {
        if (!args.isEmpty())
            throw wrongArguments();
        return QVariant::fromValue(picture_);
    }
    if (dispId == DispImagePicture && call == Call::PropertyPut) {
        if (args.size() != 1 || args[0].metaType() != QMetaType::fromType<QImage>())
            throw wrongArguments();
        setImagePicture(args[0].value<QImage>());
        return {};
    }
    if (dispId == DispSaveImage && call == Call::Method) {
        if (args.size() != 2 || args[0].metaType() != QMetaType::fromType<QString>()
            || args[1].metaType() != QMetaType::fromType<qint16>())
            throw wrongArguments();
        QString fileName = args[0].toString();
        qint16 formatCode = args[1].value<qint16>();
        saveImage(fileName, formatCode);
        args[0] = fileName;
        args[1] = QVariant::fromValue(formatCode);
        return {};
    }
    throw RuntimeError(kNotSupported, "Object doesn't support this property or method");
}

void TwistedPixel::setImagePicture(const QImage& picture)
{
    if (picture.isNull())
        throw RuntimeError(RuntimeError::kInvalidPropertyValue, "Invalid property value: no picture");
    picture_ = picture;
    update();
}

void TwistedPixel::requireEncoder(qint16 formatCode)
{
    // Every format but Windows Metafiles.
    FormatCode::require(formatCode, formatCode != FormatCode::kWmf);
}

void TwistedPixel::encode(QIODevice& device, const QImage& picture, qint16 formatCode)
{
    requireEncoder(formatCode);
    QString error;
    bool written = true;
    switch (formatCode) {
    case 4: written = writeShared<BmpWriter>(device, picture, &error); break;
    case 5: written = GifWriter::write(device, picture, &error); break;
    case 6: written = IconWriter::write(device, picture, IconWriter::Kind::Icon, &error); break;
    case 7: written = IconWriter::write(device, picture, IconWriter::Kind::Cursor, &error); break;
    case 8: written = writeShared<PcxWriter>(device, picture, &error); break;
    case 9: writeWithQt(device, picture, "tiff", formatCode); break;
    case 10: writeWithQt(device, picture, "png", formatCode); break;
    case 11: writeWithQt(device, picture, "jpeg", formatCode); break;
    default: break;
    }
    if (!written)
        throw encodingFailed(formatCode, error);
}

void TwistedPixel::saveImage(QString& fileName, qint16& formatCode) const
{
    if (picture_.isNull())
        throw RuntimeError(RuntimeError::kNoPicture, "There is no picture to save");
    // A format without an encoder is refused before the file is opened, so
    // nothing on disk is touched.
    requireEncoder(formatCode);
    const QFileInfo target(fileName);
    if (fileName.isEmpty() || !target.absoluteDir().exists())
        throw RuntimeError(RuntimeError::kPathNotFound,
                           QStringLiteral("Path not found: %1").arg(QDir::toNativeSeparators(fileName)).toStdString());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw fileAccess(fileName, file.errorString());
    // On a failed encoding the save file is discarded with its temporary file.
    try {
        encode(file, picture_, formatCode);
    } catch (const RuntimeError&) {
        // A full disk shows as a failed encoding; the file's own error says why.
        if (file.error() != QFileDevice::NoError)
            throw fileAccess(fileName, file.errorString());
        throw;
    }
    if (!file.commit())
        throw fileAccess(fileName, file.errorString());
}

void TwistedPixel::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter painter(this);
    // The picture at its own size from the top left corner; one larger than
    // the area is shrunk to fit, keeping its proportions.
    QSize shown = picture_.size();
    if (shown.width() > width() || shown.height() > height())
        shown.scale(size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(QPoint(0, 0), shown), picture_);
}

}  // namespace korvane::pictorix
