// The drop-down list of a combo: a popup window below the combo (above it when the screen has
// no room) that shows the combo's own items and closes once one is chosen.
#pragma once

namespace ui {

class HostWidget;
class CComboUI;

void OpenComboPopup(HostWidget* owner, CComboUI* combo);
// Closes owner's open drop-downs at once, giving the items back while their combo exists.
void CloseComboPopups(HostWidget* owner);

}  // namespace ui
