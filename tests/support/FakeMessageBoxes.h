#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/MessageBoxes.h"

namespace quillstone::testing {

// Records every box the program shows and answers confirmations as told. `onShow` runs while
// the box would be open, so a test can look at the device or the window at that moment.
class FakeMessageBoxes : public MessageBoxes {
 public:
  enum class Kind { Information, Warning, Confirm, Plain, Error };
  struct Box {
    Kind kind;
    std::string text;
    std::string caption;
  };

  void Information(const std::string& text) override {
    Show({Kind::Information, text, "Information"});
  }
  void Warning(const std::string& text, const std::string& caption) override {
    Show({Kind::Warning, text, caption});
  }
  bool Confirm(const std::string& text) override {
    Show({Kind::Confirm, text, "Confirm"});
    return confirmAnswer;
  }
  void Plain(const std::string& text) override { Show({Kind::Plain, text, ApplicationTitle}); }
  void Error(const std::string& text) override {
    Show({Kind::Error, ErrorBoxText(text), ApplicationTitle});
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Box& box : shown) texts.push_back(box.text);
    return texts;
  }

  std::vector<Box> shown;
  bool confirmAnswer = true;
  std::function<void(const Box&)> onShow;

 private:
  void Show(Box box) {
    shown.push_back(box);
    if (onShow) onShow(shown.back());
  }
};

}  // namespace quillstone::testing
