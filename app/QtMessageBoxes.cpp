#include "app/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace quillstone {

namespace {

int ShowBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons,
                  QApplication::activeWindow());
  // QMessageBox answers Escape and the close button with Cancel, or else with the only button.
  return box.exec();
}

}  // namespace

void QtMessageBoxes::Information(const std::string& text) {
  ShowBox(QMessageBox::Information, "Information", text);
}

void QtMessageBoxes::Warning(const std::string& text, const std::string& caption) {
  ShowBox(QMessageBox::Warning, caption, text);
}

bool QtMessageBoxes::Confirm(const std::string& text) {
  return ShowBox(QMessageBox::Question, "Confirm", text, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

void QtMessageBoxes::Plain(const std::string& text) {
  ShowBox(QMessageBox::NoIcon, ApplicationTitle, text);
}

void QtMessageBoxes::Error(const std::string& text) {
  ShowBox(QMessageBox::Critical, ApplicationTitle, ErrorBoxText(text));
}

}  // namespace quillstone
