#include "printing/devices/remembered_options.h"

#ifndef _WIN32

#include <QCoreApplication>
#include <QSettings>

namespace Plover::PrintSystem {

namespace {

QString groupOf(const QString& destination)
{
    return QStringLiteral("printer-options/") + destination;
}

} // namespace

QList<std::pair<QString, QString>> rememberedOptions(const QString& destination)
{
    QSettings store(QCoreApplication::organizationName(), QCoreApplication::applicationName());
    store.beginGroup(groupOf(destination));
    QList<std::pair<QString, QString>> choices;
    for (const QString& option : store.childKeys())
        choices.append({option, store.value(option).toString()});
    return choices;
}

void rememberOptions(const QString& destination, const QList<std::pair<QString, QString>>& choices)
{
    QSettings store(QCoreApplication::organizationName(), QCoreApplication::applicationName());
    store.beginGroup(groupOf(destination));
    // Key by key: an instance's own group lies within its destination's.
    for (const QString& option : store.childKeys())
        store.remove(option);
    for (const auto& [option, choice] : choices)
        store.setValue(option, choice);
}

} // namespace Plover::PrintSystem

#endif
