#include "Icons.h"

#include "ResourceIds.h"

// The icons' resources are compiled into a static library, whose registration
// the linker would drop unless something names it.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace res {
namespace {

QIcon ResourceIcon(const QString& name) {
    static const bool registered = (RegisterIconResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/icons/") + name);
}

const char* CommandIconName(int id) {
    switch (id) {
        case ID_FILE_NEW:
            return "file-new.svg";
        case ID_FILE_OPEN:
            return "file-open.svg";
        case ID_FILE_SAVE:
            return "file-save.svg";
        case ID_EDIT_CUT:
            return "edit-cut.svg";
        case ID_EDIT_COPY:
            return "edit-copy.svg";
        case ID_EDIT_PASTE:
            return "edit-paste.svg";
        case ID_FILE_PRINT:
            return "file-print.svg";
        case ID_APP_ABOUT:
            return "app-about.svg";
        case ID_CONTEXT_HELP:
            return "context-help.svg";
        case ID_SONOGRAM_AMPLITUDE:
            return "sonogram-amplitude.svg";
        case ID_SONOGRAM_AM:
            return "sonogram-am.svg";
        case ID_SONOGRAM_FM:
            return "sonogram-fm.svg";
        case ID_SONOGRAM_INVERTED:
            return "sonogram-inverted.svg";
        case ID_CALCULATE_DECIMATED:
            return "calculate-decimated.svg";
        case ID_UPPER_LEVEL_RAISE:
            return "upper-level-raise.svg";
        case ID_UPPER_LEVEL_LOWER:
            return "upper-level-lower.svg";
        case ID_LEVELS_DEFAULT:
            return "levels-default.svg";
        case ID_LOWER_LEVEL_RAISE:
            return "lower-level-raise.svg";
        case ID_LOWER_LEVEL_LOWER:
            return "lower-level-lower.svg";
        default:
            return nullptr;
    }
}

}  // namespace

QIcon CommandIcon(int id) {
    const char* name = CommandIconName(id);
    return name == nullptr ? QIcon() : ResourceIcon(QLatin1String(name));
}

QIcon ApplicationIcon() { return ResourceIcon(QStringLiteral("fonavid.svg")); }

QIcon DocumentIcon() { return ResourceIcon(QStringLiteral("document.svg")); }

}  // namespace res
