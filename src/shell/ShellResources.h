#pragma once
#include <QIcon>

// The shell's images: the application's icon and the preferences panels' images.
namespace ShellResources {
// Makes the images of this library reachable (a static library's resources
// are not found otherwise). Calling again does no harm.
void load();
QIcon applicationIcon();
} // namespace ShellResources
