#pragma once
// The pictures of the main window's toolbar buttons, drawn by key.
#include <QIcon>
#include <QString>

namespace varenta {

// The icon of a toolbar button key ("Bopen", "Bexecute" ...); a blank icon
// for an unknown key.
QIcon toolbarIcon(const QString& key);

}  // namespace varenta
