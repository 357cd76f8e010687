// GoogleTest main for widget tests: one QApplication for the whole test program, offscreen
// unless told otherwise, so the tests (and ctest's test discovery) need no display. The
// platform goes in as a "-platform" argument: an environment variable set on Linux does not
// reach a program under Wine.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::vector<char*> arguments(argv, argv + argc);
  const bool platformChosen =
      !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
      std::any_of(arguments.begin(), arguments.end(),
                  [](const char* argument) { return std::strcmp(argument, "-platform") == 0; });
  char platformOption[] = "-platform";
  char offscreen[] = "offscreen";
  if (!platformChosen) {
    arguments.push_back(platformOption);
    arguments.push_back(offscreen);
  }
  int applicationArgc = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  QApplication application(applicationArgc, arguments.data());
  return RUN_ALL_TESTS();
}
