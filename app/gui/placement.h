// Where the program's windows appear.
#pragma once

class QWidget;

namespace vz {

// Moves a top-level widget to the middle of the screen it is on.
void CenterOnScreen(QWidget& widget);

} // namespace vz
