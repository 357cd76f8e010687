#include "app/ButtonPicture.h"

#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

#include "platform/AppError.h"

namespace quillstone {

void ShowFormPicture(QPushButton* button) {
  const QPixmap picture(QStringLiteral(":/form/testconnect.bmp"));
  button->setIcon(QIcon(picture));
  button->setIconSize(picture.size());
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
  button->setIcon(QIcon(picture));
  button->setIconSize(picture.size());
  button->setProperty("pictureFile", path);
}

}  // namespace quillstone
