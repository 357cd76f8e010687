#pragma once

#include <string>

namespace quillstone {

inline constexpr const char* ApplicationTitle = "Quillstone";

// Every message the program shows goes through this interface, so tests can answer them.
// All boxes are modal with one OK button unless stated.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Information icon, caption "Information".
  virtual void Information(const std::string& text) = 0;
  // Exclamation icon, the caption given.
  virtual void Warning(const std::string& text, const std::string& caption) = 0;
  // OK and Cancel; true for OK. Closing the box counts as Cancel.
  virtual bool Confirm(const std::string& text) = 0;
  // No icon, the application title as caption.
  virtual void Plain(const std::string& text) = 0;
  // The application error box: error icon, application title, text as ErrorBoxText gives it.
  virtual void Error(const std::string& text) = 0;
};

// A full stop is appended when the text's last character has a higher code than '.'.
std::string ErrorBoxText(const std::string& text);

}  // namespace quillstone
