#include "main_window.h"
#include "ui/application_info.h"

#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QToolButton>

namespace Plover {

namespace {

const QString paperKey = QStringLiteral("print/paper");
const QString orientationKey = QStringLiteral("print/orientation");
const QString alignmentKey = QStringLiteral("print/alignment");

// The store is named explicitly, not by the application object, so it is the same in every program
// that builds the window.
QSettings openStore()
{
    return QSettings(QString::fromUtf8(ApplicationInfo::organization),
                     QString::fromUtf8(ApplicationInfo::name));
}

int alignmentButtonFor(PrintAlignment alignment)
{
    const auto value = static_cast<int>(alignment);
    return value >= 0 && value <= 8 ? value : static_cast<int>(PrintAlignment::Center);
}

} // namespace

// Each read or write opens a fresh store; leaving scope flushes it.
void MainWindow::loadSettings()
{
    QSettings settings = openStore();

    const QString paperName = settings.value(paperKey).toString();
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == paperName) {
            printLayout.paper = paper;
            break;
        }
    }

    // toInt() reads anything that is not a number as 0.
    const int orientation = settings.value(orientationKey, static_cast<int>(printLayout.orientation)).toInt();
    if (orientation == 0 || orientation == 1)
        printLayout.orientation = static_cast<PageOrientation>(orientation);

    const int alignment = settings.value(alignmentKey, static_cast<int>(printLayout.alignment)).toInt();
    if (alignment >= 0 && alignment <= 8)
        printLayout.alignment = static_cast<PrintAlignment>(alignment);
}

void MainWindow::saveSettings()
{
    QSettings settings = openStore();
    settings.setValue(paperKey, printLayout.paper.name);
    settings.setValue(orientationKey, static_cast<int>(printLayout.orientation));
    settings.setValue(alignmentKey, static_cast<int>(printLayout.alignment));
}

void MainWindow::syncControls()
{
    // Setting a combo's index runs its handler at once; the flag tells the handler to stay still.
    syncingControls = true;
    const std::vector<PaperSize> catalogue = paperSizes();
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].name == printLayout.paper.name) {
            paperCombo->setCurrentIndex(static_cast<int>(i));
            break;
        }
    }
    orientationCombo->setCurrentIndex(printLayout.orientation == PageOrientation::Landscape ? 1 : 0);
    printAction->setEnabled(!setPages.isEmpty());
    checkAlignmentButton(printLayout.alignment);
    syncingControls = false;
}

void MainWindow::checkAlignmentButton(PrintAlignment alignment)
{
    const int checked = alignmentButtonFor(alignment);
    for (int i = 0; i < 9; ++i)
        alignmentButtons[static_cast<std::size_t>(i)]->setChecked(i == checked);
}

} // namespace Plover
