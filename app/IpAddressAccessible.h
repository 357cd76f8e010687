#pragma once

namespace quillstone {

// Makes a screen reader meet an IP-address control as one edit, named by its label, whose value
// and text are the whole dotted address; its four parts are no edits of their own: the part
// holding the cursor is read with the control's name and address and says which part it is.
// Once is enough; every IpAddressEdit calls it.
void InstallIpAddressAccessibility();

}  // namespace quillstone
