// Icons of the program, painted in code: the 16 x 15 toolbar images (one per
// toolbar command) and icons 128 (the program) and 129 (a document).
#pragma once

#include <QIcon>
#include <QImage>

namespace res {

// Width and height of a toolbar image.
constexpr int kButtonImageWidth = 16;
constexpr int kButtonImageHeight = 15;

// The toolbar image of command `id`; a null image for a command without one.
QImage CommandImage(int id);
QIcon CommandIcon(int id);

// Icon 128: the program.
QIcon ApplicationIcon();
// Icon 129: a document.
QIcon DocumentIcon();

}  // namespace res
