// Icons of the program, scalable images in the program's resources: the
// toolbar images (one per toolbar command, 16 x 15 logical pixels, drawn
// sharp at any scale and seen on light and dark toolbars alike) and icons 128
// (the program) and 129 (a document).
#pragma once

#include <QIcon>

namespace res {

// Width and height of a toolbar image, in logical pixels.
constexpr int kButtonImageWidth = 16;
constexpr int kButtonImageHeight = 15;

// The toolbar icon of command `id`; a null icon for a command without one.
QIcon CommandIcon(int id);

// Icon 128: the program.
QIcon ApplicationIcon();
// Icon 129: a document.
QIcon DocumentIcon();

}  // namespace res
