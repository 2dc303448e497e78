// Where the program's windows appear.
#pragma once

#include "app/face_data/window_description.h"

class QWidget;

namespace vz {

// Moves a top-level widget to the middle of the screen it is on.
void CenterOnScreen(QWidget& widget);

// Puts a control at its designed place, grown to what its caption needs in its
// font, within `limit` pixels of width of what holds it.
void PlaceFitted(QWidget& widget, const face::Rect& design, int limit);

} // namespace vz
