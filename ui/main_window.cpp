#include "main_window.h"

#include "page_decode.h"
#include "preview/preview_widget.h"
#include "ui/application_info.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <cmath>

namespace Plover {

namespace {

const char* const toolBarStyle =
    "QToolBar { spacing: 6px; }"
    "QToolButton { border: 1px solid transparent; border-radius: 5px; padding: 5px; }"
    "QToolButton:hover { background: #eaf2ff; border-color: #9db4d2; }"
    "QToolButton:pressed { background: #dbe9fb; }";

// A build against a Qt without its SVG module carries PNG renderings of the SVG (name.png and
// name@2x.png, which QIcon picks for a high-density screen) in its place.
QIcon toolbarIcon(const QString& name)
{
    const QString svg = QStringLiteral(":/icons/%1.svg").arg(name);
    return QIcon(QFile::exists(svg) ? svg : QStringLiteral(":/icons/%1.png").arg(name));
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    printLayout.paper = paperSizes().front();
    printLayout.alignment = PrintAlignment::Center;
    // The store is read before any widget exists, so building the window cannot write it back.
    loadSettings();
    buildUi();
    syncControls();
    refreshPreview();
}

void MainWindow::buildUi()
{
    setWindowTitle(QString::fromUtf8(ApplicationInfo::name));
    setAcceptDrops(true);
    resize(1080, 720);

    loadAction = new QAction(toolbarIcon(QStringLiteral("open")), tr("Load"), this);
    loadAction->setShortcut(QKeySequence::Open);
    addAction(loadAction);
    connect(loadAction, &QAction::triggered, this, [this] { openImageFile(); });

    printAction = new QAction(toolbarIcon(QStringLiteral("print")), tr("Print"), this);
    printAction->setShortcut(QKeySequence::Print);
    addAction(printAction);
    connect(printAction, &QAction::triggered, this, [this] { printImage(); });

    aboutAction = new QAction(QIcon(QStringLiteral(":/branding/tessaly-logo.png")), tr("About Plover"), this);
    aboutAction->setMenuRole(QAction::AboutRole);
    connect(aboutAction, &QAction::triggered, this, [this] { showAboutDialog(); });

    // The zoom keys carry no modifier, so they live on the window rather than in a menu.
    zoomInAction = new QAction(tr("Zoom In"), this);
    zoomInAction->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)});
    addAction(zoomInAction);
    connect(zoomInAction, &QAction::triggered, this, [this] { previewWidget->zoomIn(); });

    zoomOutAction = new QAction(tr("Zoom Out"), this);
    zoomOutAction->setShortcut(QKeySequence(Qt::Key_Minus));
    addAction(zoomOutAction);
    connect(zoomOutAction, &QAction::triggered, this, [this] { previewWidget->zoomOut(); });

    fitToScreenAction = new QAction(fitToScreenIcon(), tr("Fit to Screen"), this);
    fitToScreenAction->setShortcut(QKeySequence(Qt::Key_0));
    addAction(fitToScreenAction);
    connect(fitToScreenAction, &QAction::triggered, this, [this] { previewWidget->resetZoomToFit(); });

    previousPageAction = new QAction(style()->standardIcon(QStyle::SP_ArrowLeft), tr("Previous Page"), this);
    previousPageAction->setShortcut(QKeySequence(Qt::Key_PageUp));
    addAction(previousPageAction);
    connect(previousPageAction, &QAction::triggered, this, [this] { showPage(shownPage - 1); });

    nextPageAction = new QAction(style()->standardIcon(QStyle::SP_ArrowRight), tr("Next Page"), this);
    nextPageAction->setShortcut(QKeySequence(Qt::Key_PageDown));
    addAction(nextPageAction);
    connect(nextPageAction, &QAction::triggered, this, [this] { showPage(shownPage + 1); });

    QMenu* fileMenu = menuBar()->addMenu(tr("File"));
    fileMenu->addAction(loadAction);
    fileMenu->addAction(printAction);
    QMenu* helpMenu = menuBar()->addMenu(tr("Help"));
    helpMenu->addAction(aboutAction);

    QToolBar* toolBar = addToolBar(tr("Main"));
    toolBar->setObjectName(QStringLiteral("MainToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar->setIconSize(QSize(24, 24));
    toolBar->setStyleSheet(QString::fromLatin1(toolBarStyle));
    auto* leftMargin = new QWidget(toolBar);
    leftMargin->setFixedWidth(8);
    toolBar->addWidget(leftMargin);
    toolBar->addAction(loadAction);
    toolBar->addAction(printAction);
    // The page control: only a set of several pages shows it.
    toolBar->addAction(previousPageAction);
    pageLabel = new QLabel(toolBar);
    pageLabel->setStyleSheet(QStringLiteral("color: #4f5d6d;"));
    pageLabelAction = toolBar->addWidget(pageLabel);
    toolBar->addAction(nextPageAction);
    auto* spacer = new QWidget(toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    //: The zoom of the preview, in percent
    zoomLabel = new QLabel(tr("%1%").arg(100), toolBar);
    zoomLabel->setMinimumWidth(54);
    zoomLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    zoomLabel->setStyleSheet(QStringLiteral("color: #4f5d6d;"));
    toolBar->addWidget(zoomLabel);
    toolBar->addAction(fitToScreenAction);

    auto* centralRow = new QWidget;
    auto* rowLayout = new QHBoxLayout(centralRow);
    rowLayout->setContentsMargins(16, 16, 16, 16);
    rowLayout->setSpacing(16);

    previewWidget = new PreviewWidget;
    connect(previewWidget, &PreviewWidget::zoomChanged, this,
            [this](double percent) { updateZoomLabel(percent); });
    connect(previewWidget, &PreviewWidget::zoomEnabledChanged, this,
            [this](bool enabled) { setZoomControlsEnabled(enabled); });

    zoomInAction->setEnabled(false);
    zoomOutAction->setEnabled(false);
    fitToScreenAction->setEnabled(false);
    zoomLabel->setEnabled(false);
    updateZoomLabel(previewWidget->zoomPercent());

    auto* scrollArea = new QScrollArea;
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setWidgetResizable(true);
    scrollArea->setWidget(previewWidget);
    rowLayout->addWidget(scrollArea, 1);

    // The inspector scrolls only where the screen is too short for it (a laptop's 768 pixels);
    // otherwise it fills its column exactly as the bare panel would.
    auto* inspector = new QScrollArea;
    inspector->setFrameShape(QFrame::NoFrame);
    inspector->setWidgetResizable(true);
    inspector->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    inspector->setFixedWidth(320);
    inspector->setWidget(buildSettingsPanel());
    inspector->widget()->setAutoFillBackground(false);
    inspector->viewport()->setAutoFillBackground(false);
    rowLayout->addWidget(inspector, 0);

    setCentralWidget(centralRow);
    checkAlignmentButton(printLayout.alignment);
    updatePageControl();

    // Where the screen has room, the window opens tall enough for the whole panel, as it did before the
    // panel could scroll; on a laptop's short screen it keeps its 720 pixels and the panel scrolls.
    const QSize opening = size();
    const QMargins rowMargins = rowLayout->contentsMargins();
    const int wholeRow =
        std::max(centralRow->minimumSizeHint().height(),
                 inspector->widget()->minimumSizeHint().height() + rowMargins.top() + rowMargins.bottom());
    const int wholePanel = minimumSizeHint().height() - centralRow->minimumSizeHint().height() + wholeRow;
    constexpr int titleBar = 40;
    const QScreen* shownOn = screen();
    const bool roomForAll = shownOn && wholePanel + titleBar <= shownOn->availableGeometry().height();
    resize(opening.width(), roomForAll ? std::max(opening.height(), wholePanel) : opening.height());
}

void MainWindow::updateZoomLabel(double percent)
{
    //: The zoom of the preview, in percent
    zoomLabel->setText(tr("%1%").arg(QString::number(std::round(percent))));
}

void MainWindow::setZoomControlsEnabled(bool enabled)
{
    zoomInAction->setEnabled(enabled);
    zoomOutAction->setEnabled(enabled);
    fitToScreenAction->setEnabled(enabled);
    zoomLabel->setEnabled(enabled);
}

} // namespace Plover
