#include "app/ButtonPicture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
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

// The form's picture and both result pictures, as the button shows them: the background
// colour of the bitmap is transparent, the symbol is not.
struct PictureCase {
  const char* name;
  void (*show)(QPushButton*);
};

class ButtonPictureBackgroundTest : public ::testing::TestWithParam<PictureCase> {};

TEST_P(ButtonPictureBackgroundTest, OnlyTheSymbolIsDrawn) {
  QPushButton button;
  GetParam().show(&button);
  const QImage shown = button.icon().pixmap(button.iconSize()).toImage();
  ASSERT_FALSE(shown.isNull());
  const int right = shown.width() - 1;
  const int bottom = shown.height() - 1;
  for (const QPoint corner :
       {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
    EXPECT_EQ(shown.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
  }
  EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2 - 3).alpha(), 255)
      << "the symbol";
}

// The result pictures are read from a program folder whose "bmp" is the source tree's.
const std::string kSourcePrograms = QUILLSTONE_PICTURE_DIR "/../";

INSTANTIATE_TEST_SUITE_P(
    Pictures, ButtonPictureBackgroundTest,
    ::testing::Values(PictureCase{"Form", [](QPushButton* b) { ShowFormPicture(b); }},
                      PictureCase{"Connected",
                                  [](QPushButton* b) {
                                    LoadButtonPicture(b, kSourcePrograms, ConnectedPictureFile);
                                  }},
                      PictureCase{"NotConnected",
                                  [](QPushButton* b) {
                                    LoadButtonPicture(b, kSourcePrograms, NotConnectedPictureFile);
                                  }}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillstone
