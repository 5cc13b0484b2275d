#include "shell/ShellResources.h"

static void loadShellResources()
{
    Q_INIT_RESOURCE(shell);
}

namespace ShellResources {
void load()
{
    static const bool loaded = (loadShellResources(), true);
    (void)loaded;
}

QIcon applicationIcon()
{
    load();
    return QIcon::fromTheme(QStringLiteral("calvorin"), QIcon(QStringLiteral(":/shell/calvorin.svg")));
}
} // namespace ShellResources
