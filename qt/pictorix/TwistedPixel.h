// Korvane - Pictorix image tool.
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>
#include <QVariant>
#include <QWidget>

class QIODevice;

namespace korvane::pictorix {

// The image conversion control: holds one picture, shows it in its area of
// the form and writes it to a file in the format a format code selects. The
// form reaches it late, through invoke() and the dispatch identifiers below;
// failures are raised as RuntimeError with a number and a description.
class TwistedPixel : public QWidget {
    Q_OBJECT
public:
    // Dispatch identifiers of the two members the form uses.
    static constexpr int DispImagePicture = 12;
    static constexpr int DispSaveImage = 56;

    enum class Call { PropertyGet, PropertyPut, Method };

    explicit TwistedPixel(QWidget* parent = nullptr);

    // The late-binding entry point. ImagePicture: get returns the picture as
    // a QImage, put takes one QImage argument. SaveImage: a method with two
    // arguments by reference, the file name (QString) and the format code
    // (qint16); what the method leaves in them is written back into args.
    // An unknown identifier or wrong arguments raise RuntimeError 438 or 450.
    QVariant invoke(int dispId, Call call, QVariantList& args);

    QImage imagePicture() const { return picture_; }
    // Refuses a null picture with RuntimeError 380.
    void setImagePicture(const QImage& picture);

    // Writes the picture to fileName in the format of formatCode. The file
    // is written beside the target and renamed over it only once complete,
    // so a failure leaves any earlier file of that name as it was.
    void saveImage(QString& fileName, qint16& formatCode) const;

    // Encodes picture in the format of formatCode onto device; raises
    // RuntimeError for an unknown or unavailable format or a failed write.
    static void encode(QIODevice& device, const QImage& picture, qint16 formatCode);

    // Raises RuntimeError for a format code without an encoder: 380 for an
    // unknown code, 31001 for a known format that cannot be written here.
    static void requireEncoder(qint16 formatCode);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

}  // namespace korvane::pictorix
