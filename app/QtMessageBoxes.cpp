#include "app/QtMessageBoxes.h"

#include <QApplication>

namespace quillstone {

int QtMessageBoxes::Show(QMessageBox::Icon icon, const std::string& caption,
                         const std::string& text, QMessageBox::StandardButtons buttons) const {
  // A dialog shown with exec() stays the modal window whether or not the program is active.
  QWidget* owner = QApplication::activeModalWidget();
  if (owner == nullptr) owner = mainWindow_;
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons,
                  owner);
  // Read with the caption as the box opens, by the readers that speak a window's name and
  // description rather than the labels inside it.
  box.setAccessibleDescription(box.text());
  // QMessageBox answers Escape and the close button with Cancel, or else with the only button.
  return box.exec();
}

void QtMessageBoxes::Information(const std::string& text) {
  Show(QMessageBox::Information, "Information", text, QMessageBox::Ok);
}

void QtMessageBoxes::Warning(const std::string& text, const std::string& caption) {
  Show(QMessageBox::Warning, caption, text, QMessageBox::Ok);
}

bool QtMessageBoxes::Confirm(const std::string& text) {
  return Show(QMessageBox::Question, "Confirm", text, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

void QtMessageBoxes::Plain(const std::string& text) {
  Show(QMessageBox::NoIcon, ApplicationTitle, text, QMessageBox::Ok);
}

void QtMessageBoxes::Error(const std::string& text) {
  Show(QMessageBox::Critical, ApplicationTitle, ErrorBoxText(text), QMessageBox::Ok);
}

}  // namespace quillstone
