#include "app/ButtonPicture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <filesystem>
#include <string>

#include "platform/AppError.h"
#include "tests/support/TempDirectory.h"

namespace quillstone {
namespace {

using testing::TempDirectory;
using testing::Utf8Path;

// A program folder with a non-ASCII name: its path is UTF-8 text and must reach the picture
// file whole, with the system's separator throughout, and show so in the error text.
class ButtonPictureTest : public ::testing::Test {
 protected:
  TempDirectory program{"Ger\xC3\xA4t"};
  QPushButton button;

  std::string NativePath(const char* relative) const {
    return QDir::toNativeSeparators(QString::fromStdString(program.Path() + relative))
        .toStdString();
  }
};

TEST_F(ButtonPictureTest, LoadsThePictureFromANonAsciiProgramFolder) {
  std::filesystem::create_directories(Utf8Path(program.File("bmp")));
  std::filesystem::copy_file(std::filesystem::path(QUILLSTONE_PICTURE_DIR) / "textconnetOK.bmp",
                             Utf8Path(program.File("bmp/textconnetOK.bmp")));
  LoadButtonPicture(&button, program.Path(), ConnectedPictureFile);
  EXPECT_EQ(button.property("pictureFile").toString().toStdString(),
            NativePath(ConnectedPictureFile));
  EXPECT_FALSE(button.icon().isNull());
}

TEST_F(ButtonPictureTest, NamesTheMissingFileWithTheFolderAsItIs) {
  try {
    LoadButtonPicture(&button, program.Path(), NotConnectedPictureFile);
    FAIL() << "the picture is missing";
  } catch (const AppError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot load picture \"" + NativePath(NotConnectedPictureFile) + "\"");
  }
  EXPECT_FALSE(button.property("pictureFile").isValid());
}

}  // namespace
}  // namespace quillstone
