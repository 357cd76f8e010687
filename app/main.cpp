#include <QApplication>
#include <iostream>
#include <string_view>
#include <vector>

#include "app/ConnectionSettings.h"
#include "app/FernwickMain.h"
#include "app/QtMessageBoxes.h"
#include "app/StartupOptions.h"
#include "platform/Platform.h"
#include "platform/SettingsFolder.h"
#include "wireless/IpSettings.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (const auto text = quillstone::TextInsteadOfWindow(args)) {
    std::cout << *text;
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(quillstone::ApplicationTitle));
  quillstone::QtMessageBoxes boxes;
  const std::string programDirectory = quillstone::ExecutableDirectory();
  const std::string settingsDirectory = quillstone::ChooseSettingsDirectory(
      programDirectory, quillstone::UserSettingsDirectory(),
      {quillstone::OptionsFileName, quillstone::IpConfigFileName});
  quillstone::TFernwick window({programDirectory, &boxes, settingsDirectory});
  boxes.SetMainWindow(&window);
  window.show();
  return QApplication::exec();
}
