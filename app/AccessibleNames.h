#pragma once

#include <QString>
#include <initializer_list>

class QWidget;

namespace quillstone {

// What a screen reader says for one control. `name` is the text of the label the user sees
// beside it: the label nearest to the control with exactly that text (blanks around it aside)
// becomes its buddy, so that the reader also knows which label it is. A control without such a
// label (a caption-less radio button, the number beside "COM") gets `name` as its own.
struct ControlName {
  QWidget* control;
  QString name;
  QString description = {};
};

// Names each control of `names`; a pick list's drop-down list is read with its box's name.
void NameControls(std::initializer_list<ControlName> names);

// The "*" marks under `root` (beside the fields that must be filled) are read as "required", not
// as a star, and the description of each of `fields` says so; the visible marks stay as they are.
void MarkRequired(QWidget* root, std::initializer_list<QWidget*> fields);

}  // namespace quillstone
