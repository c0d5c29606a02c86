#pragma once

#ifndef _WIN32

#include <QList>
#include <QString>
#include <utility>

namespace Plover::PrintSystem {

// The settings a user last printed with on one destination, as a Windows driver keeps its device
// mode: option keyword and choice keyword, in the settings store's group
// "printer-options/<destination>".
QList<std::pair<QString, QString>> rememberedOptions(const QString& destination);
// Replaces what is remembered for `destination`.
void rememberOptions(const QString& destination, const QList<std::pair<QString, QString>>& choices);

} // namespace Plover::PrintSystem

#endif
