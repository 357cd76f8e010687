#pragma once

class QWidget;

namespace quillstone {

// Every combo box below `root` turns with the mouse wheel only while it has the focus: a wheel
// over a closed, unfocused one goes to what is around it (the page scrolls nothing), so moving
// the pointer across the page while scrolling cannot change a choice and run its handler. The
// wheel no longer gives a combo box the focus either; a click or Tab still does.
void TakeWheelOnlyWhenFocused(QWidget* root);

}  // namespace quillstone
