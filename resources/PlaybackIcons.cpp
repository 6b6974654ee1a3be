#include "PlaybackIcons.h"

#include "ResourceIds.h"

// The resources live in a static library: the linker keeps them only when
// something names them. (Outside every namespace, as the macro needs.)
static void InitPlaybackResources() { Q_INIT_RESOURCE(playback); }

namespace res {

QString PlaybackIconPath(int id) {
    switch (id) {
        case ID_PLAY_VISIBLE:
            return QStringLiteral(":/icons/play-visible.svg");
        case ID_PLAY_TO_END:
            return QStringLiteral(":/icons/play-to-end.svg");
        case ID_PLAY_STOP:
            return QStringLiteral(":/icons/play-stop.svg");
        default:
            return QString();
    }
}

QIcon PlaybackIcon(int id) {
    const QString path = PlaybackIconPath(id);
    if (path.isEmpty()) return QIcon();
    static const bool loaded = (InitPlaybackResources(), true);
    (void)loaded;
    return QIcon(path);
}

}  // namespace res
