#pragma once

#include <QButtonGroup>
#include <functional>
#include <initializer_list>
#include <vector>

class QRadioButton;

namespace quillstone {

// Radio buttons that exclude one another, and nothing else on the page, as one keyboard group:
// a click or Space on the selected one leaves it selected; the arrow keys move to the next or
// previous button of the group (wrapping) and select it as a click does; Tab stops only at the
// selected button, or at the first while none is selected. Without their own group, Qt lets
// the auto-exclusive radios of one parent and of every group box below it act as one.
class RadioGroup : public QButtonGroup {
  Q_OBJECT

 public:
  // `onUserSelect` (may be empty) runs when the user makes `button` the selected one (click,
  // Space, arrow key); a selection made by code and a click on the selected one run nothing.
  struct Choice {
    QRadioButton* button;
    std::function<void()> onUserSelect;
  };
  // The buttons in the order the arrow keys walk them; the group is a child of `owner`.
  RadioGroup(std::initializer_list<Choice> choices, QObject* owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MarkTabStop();
  void Step(QAbstractButton* from, int direction);

  std::vector<std::function<void()>> handlers_;  // by button index
  QAbstractButton* selectedByLastToggle_ = nullptr;
};

}  // namespace quillstone
