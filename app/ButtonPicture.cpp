#include "app/ButtonPicture.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPushButton>

#include "platform/AppError.h"

namespace quillstone {

namespace {

// The pictures are bitmaps drawn on a plain background, whose colour is the one of the lower
// left pixel; that colour is left out, so the button's own face shows round the symbol rather
// than a square of the painter's grey.
void ShowPicture(QPushButton* button, QPixmap picture) {
  const QImage image = picture.toImage();
  if (!image.isNull()) {
    picture.setMask(picture.createMaskFromColor(image.pixelColor(0, image.height() - 1)));
  }
  button->setIcon(QIcon(picture));
  button->setIconSize(picture.size());
}

}  // namespace

void ShowFormPicture(QPushButton* button) {
  ShowPicture(button, QPixmap(QStringLiteral(":/form/testconnect.bmp")));
}

void LoadButtonPicture(QPushButton* button, const std::string& programDirectory,
                       const char* relativePath) {
  // The program directory is UTF-8 and ends with the system's separator; the file's path is
  // shown with that separator throughout.
  const QString path = QDir::toNativeSeparators(QString::fromStdString(programDirectory) +
                                                QString::fromLatin1(relativePath));
  QPixmap picture;
  if (!picture.load(path)) {
    throw AppError("Cannot load picture \"" + path.toStdString() + "\"");
  }
  ShowPicture(button, picture);
  button->setProperty("pictureFile", path);
}

}  // namespace quillstone
