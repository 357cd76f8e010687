#pragma once

class QWidget;

namespace quillstone {

// Keeps every single-line edit box below `root` (line edits, the fields of the IP-address
// controls, editable combo boxes) free of line breaks: of text inserted with a break, pasted,
// dropped or committed by an input method, only the part before the first break stays, as a
// single-line edit box on Windows does. Any validator the box had still applies afterwards.
void KeepSingleLine(QWidget* root);

}  // namespace quillstone
