#pragma once

class QToolBar;

namespace bm
{

// Gives the buttons of a record screen's toolbar the style's standard
// pictures, chosen by each button's key ("New", "Save", "Print"...).
void setToolbarPictures(QToolBar *toolbar);

} // namespace bm
