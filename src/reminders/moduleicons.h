#pragma once

#include <QString>
#include <QStringList>

// The picture of a reminder's module, found by the module's key (a reminder's sms_menu, such as
// "flow") or by its menu name (such as "流程中心"); the reminder page, the system-message cards
// and the module menu show the same pictures.
namespace ModuleIcons {

// The picture's name under qrc:/images/ for a key or a name; empty when nothing matches.
QString imageFor(const QString &text);
// The module's picture URL: by key first, then by name; a module that matches nothing gets the
// notice picture, as every reminder is a notice of some kind.
QString path(const QString &menuKey, const QString &menuName);
// Every picture the table can give.
QStringList allImages();

} // namespace ModuleIcons
