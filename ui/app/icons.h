// The toolbar's pictures: the platform's icon theme where it has one, else our own.
#pragma once

#include <QIcon>
#include <QString>

namespace zdl::ui {

// The picture of a toolbar button, by the button's key ("Abrir", "Timer", ...).
QIcon ToolbarIcon(const QString& key);
// The program's own picture (window icon, desktop entry).
QIcon AppIcon();

}  // namespace zdl::ui
