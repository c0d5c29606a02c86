#pragma once

#include <QObject>
#include <QSettings>

#include <memory>

namespace PloverTest {

// Each file of the window's tests contributes one test class.
std::unique_ptr<QObject> newWindowStructureTest();
std::unique_ptr<QObject> newLoadingFlowTest();
std::unique_ptr<QObject> newPrintFlowTest();
std::unique_ptr<QObject> newAboutDialogTest();

inline void clearStore()
{
    QSettings(QStringLiteral("Tessaly"), QStringLiteral("Plover")).clear();
}

} // namespace PloverTest
