#include <QApplication>

#include "app/FernwickMain.h"
#include "app/QtMessageBoxes.h"
#include "platform/Platform.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(quillstone::ApplicationTitle));
  quillstone::QtMessageBoxes boxes;
  quillstone::TFernwick window({quillstone::ExecutableDirectory(), &boxes});
  window.show();
  return QApplication::exec();
}
