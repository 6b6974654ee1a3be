// The scalable toolbar icons of the play commands, drawn as SVG files in the
// program's Qt resources (":/icons/play-*.svg").
#pragma once

#include <QIcon>
#include <QString>

namespace res {

// The resource path of the icon of play command `id`; empty for other commands.
QString PlaybackIconPath(int id);
// Its icon; a null icon for other commands.
QIcon PlaybackIcon(int id);

}  // namespace res
