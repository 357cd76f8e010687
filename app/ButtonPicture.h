#pragma once

#include <string>

class QPushButton;

namespace quillstone {

// Result pictures of the connection test, below the program's directory.
inline constexpr const char* ConnectedPictureFile = "bmp/textconnetOK.bmp";
inline constexpr const char* NotConnectedPictureFile = "bmp/textconncet.bmp";

// Shows the picture stored with the form (built into the program), as before the first test;
// it has the size of the result pictures, so the caption keeps its place.
void ShowFormPicture(QPushButton* button);

// Loads `relativePath` below `programDirectory` as the button's picture and records the file
// in the button's "pictureFile" property. Throws AppError when the file cannot be read.
void LoadButtonPicture(QPushButton* button, const std::string& programDirectory,
                       const char* relativePath);

}  // namespace quillstone
