#include "continue_question.h"
#include "imaging/image_load_exception.h"
#include "layout/placement_geometry.h"
#include "main_window.h"
#include "page_decode.h"
#include "preview/preview_widget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QProgressDialog>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <exception>

namespace Plover {

namespace {

// Drags are judged only by carrying URLs; what they point at is decided on drop.
template <typename DragEvent> void acceptUrlDrag(DragEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

QString shownProfileDescription(const TargetImage& image)
{
    const QString description = image.iccProfileDescription.trimmed();
    return description.isEmpty() ? MainWindow::tr("Embedded ICC profile") : description;
}

// The loaders name colour models in English, and compare them so.
QString shownColorModel(const QString& colorModel)
{
    return QCoreApplication::translate("Plover::TargetImage", colorModel.toUtf8().constData());
}

// What the pages of a set have in common, for the inspector.
QString differencesOf(const QList<TargetImage>& pages)
{
    bool pixels = false;
    bool resolution = false;
    for (const TargetImage& page : pages) {
        pixels |=
            page.pixelWidth != pages.front().pixelWidth || page.pixelHeight != pages.front().pixelHeight;
        resolution |= page.dpiX != pages.front().dpiX || page.dpiY != pages.front().dpiY;
    }
    if (pixels && resolution)
        return MainWindow::tr("The pages differ in pixel size and resolution.");
    if (pixels)
        return MainWindow::tr("The pages differ in pixel size.");
    if (resolution)
        return MainWindow::tr("The pages differ in resolution.");
    return MainWindow::tr("All pages have the same pixel size and resolution.");
}

} // namespace

MainWindow::~MainWindow() = default;

void MainWindow::openImageFile()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Load target image"), QString(), tr("Target images (*.tif *.tiff *.jpg *.jpeg *.png)"));
    if (!paths.isEmpty())
        loadImages(paths);
}

void MainWindow::openImagePath(const QString& path)
{
    if (path.trimmed().isEmpty())
        return;
    loadImages({path});
}

void MainWindow::openImagePaths(const QStringList& paths)
{
    if (!paths.isEmpty())
        loadImages(paths);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    acceptUrlDrag(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    acceptUrlDrag(event);
}

void MainWindow::dropEvent(QDropEvent* event)
{
    // The first URL decides whether this is a drop of files at all; the other local files join it.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || urls.first().toLocalFile().isEmpty())
        return;
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    loadImages(paths);
    event->acceptProposedAction();
}

void MainWindow::loadImages(const QStringList& paths)
{
    if (loading)
        return;
    try {
        const std::optional<LoadedTargetSet> loaded = loadInBackground(targetSetFromPaths(paths));
        if (loaded && confirmEmbeddedProfile(*loaded)) {
            // One layout for every page: the orientation and the smallest paper that hold them all.
            QList<QSizeF> sizes;
            for (const TargetImage& page : loaded->pages)
                sizes << printSizeInches(page);
            const QSizeF inches = sizeHoldingAll(sizes);
            const PageOrientation natural = orientationForSize(inches);
            naturalOrientation = natural;
            printLayout.orientation = natural;
            printLayout.rotationDegrees = 0;
            printLayout.paper = paperForPrintSize(inches, natural);
            currentSet = loaded->set;
            setPages = loaded->pages;
            shownPage = 0;
            currentImage = loaded->firstPage;
            ++decodeTicket;
            errorLabel->clear();
            errorLabel->hide();
            syncControls();
            updatePageControl();
            updateImageInfo();
            refreshPreview();
            offerPrintRecord(currentSet);
        }
    } catch (const ImageLoadException& error) {
        showError(tr("Could not load target image"), error.message());
    } catch (const std::exception& error) {
        showError(tr("Could not load target image"),
                  QCoreApplication::translate("Plover::ImageLoader", error.what()));
    }
    decodeShownPage(); // a refused or cancelled set leaves the page shown to finish decoding
}

// Pages load on Qt's global thread pool while the window's event loop runs, behind a progress
// dialog that shows once loading takes longer than half a second; Cancel keeps what was there.
std::optional<LoadedTargetSet> MainWindow::loadInBackground(const TargetSet& set)
{
    struct Shared
    {
        std::atomic<int> pagesDone{0};
        std::atomic<bool> cancelled{false};
        std::optional<LoadedTargetSet> result;
        std::exception_ptr failure;
    };
    auto shared = std::make_shared<Shared>();
    loading = true;
    QEventLoop loop;
    QProgressDialog progress(tr("Loading the target's pages..."), tr("Cancel"), 0, int(set.pages.size()),
                             this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setValue(0);
    connect(&progress, &QProgressDialog::canceled, &progress, [shared] { shared->cancelled = true; });
    QTimer poll;
    connect(&poll, &QTimer::timeout, &progress,
            [&progress, shared] { progress.setValue(shared->pagesDone); });
    poll.start(50);
    QThreadPool::globalInstance()->start([shared, loader = imageLoader, set, &loop] {
        try {
            shared->result = loadTargetSet(loader, set, shared->pagesDone, shared->cancelled);
        } catch (...) {
            shared->failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    loading = false;
    if (shared->failure)
        std::rethrow_exception(shared->failure);
    return std::move(shared->result);
}

bool MainWindow::confirmEmbeddedProfile(const LoadedTargetSet& loaded)
{
    QStringList profiled;
    for (int i = 0; i < loaded.pages.size(); ++i) {
        if (loaded.pages[i].hasIccProfile)
            profiled << tr("%1 (%2)").arg(targetPageName(loaded.set.pages[i]),
                                          shownProfileDescription(loaded.pages[i]));
    }
    if (profiled.isEmpty())
        return true;
    if (loaded.pages.size() == 1)
        return askToContinue(this, tr("Embedded ICC profile detected"),
                             tr("This image contains an embedded ICC profile: %1.")
                                 .arg(shownProfileDescription(loaded.pages[0])),
                             tr("Plover ignores embedded profiles for profiling target output. "
                                "Continue loading this image, or cancel and choose a different file."));
    return askToContinue(
        this, tr("Embedded ICC profile detected"),
        tr("These pages contain an embedded ICC profile: %1.").arg(profiled.join(QStringLiteral(", "))),
        tr("Plover ignores embedded profiles for profiling target output. "
           "Continue loading these images, or cancel and choose different files."));
}

void MainWindow::showError(const QString& title, const QString& message)
{
    errorLabel->setText(
        QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), message.toHtmlEscaped()));
    errorLabel->show();
}

void MainWindow::updateImageInfo()
{
    setGroup->setVisible(setPages.size() > 1);
    if (setPages.isEmpty()) {
        imageTitleLabel->setText(tr("No image loaded"));
        for (QLabel* fact : {pixelsLabel, dpiLabel, printSizeLabel, colorModelLabel, iccProfileLabel})
            fact->clear();
        return;
    }
    //: The number of pages of the set on show
    setFactsLabel->setText(tr("%1 pages").arg(setPages.size()) + QLatin1Char('\n') + differencesOf(setPages));
    const TargetImage& image = setPages[shownPage];
    const QSizeF inches = rotatedSize(printSizeInches(image), printLayout.rotationDegrees);
    const QSizeF mm = rotatedSize(printSizeMm(image), printLayout.rotationDegrees);
    const auto fixed = [](double value, int digits) {
        return QString::number(value, 'f', digits);
    };

    imageTitleLabel->setText(targetPageName(currentSet.pages[shownPage]));
    pixelsLabel->setText(
        tr("Pixels: %1 x %2").arg(QString::number(image.pixelWidth), QString::number(image.pixelHeight)));
    dpiLabel->setText(tr("DPI: %1 x %2").arg(fixed(image.dpiX, 2), fixed(image.dpiY, 2)));
    printSizeLabel->setText(tr("Print size: %1 x %2 in / %3 x %4 mm")
                                .arg(fixed(inches.width(), 2), fixed(inches.height(), 2),
                                     fixed(mm.width(), 1), fixed(mm.height(), 1)));
    colorModelLabel->setText(tr("Color model: %1").arg(shownColorModel(image.colorModel)));

    if (!image.hasIccProfile) {
        iccProfileLabel->setText(tr("ICC Profile: none"));
        return;
    }
    iccProfileLabel->setText(tr("ICC Profile: %1 (Ignored)").arg(shownProfileDescription(image)));
}

void MainWindow::refreshPreview()
{
    previewWidget->setPrintLayout(printLayout);
    // The page's stand-in shows until its own pixels are decoded.
    if (currentImage || setPages.isEmpty())
        previewWidget->setTargetImage(currentImage);
    else
        previewWidget->setTargetImage(setPages[shownPage]);
}

void MainWindow::showPage(int index)
{
    if (index < 0 || index >= setPages.size() || index == shownPage)
        return;
    shownPage = index;
    currentImage.reset(); // only the page shown is held whole
    updatePageControl();
    updateImageInfo();
    refreshPreview();
    decodeShownPage();
}

void MainWindow::updatePageControl()
{
    const bool several = setPages.size() > 1;
    for (QAction* control : {previousPageAction, pageLabelAction, nextPageAction})
        control->setVisible(several);
    pageLabel->setText(tr("Page %1 of %2").arg(shownPage + 1).arg(setPages.size()));
    previousPageAction->setEnabled(several && shownPage > 0);
    nextPageAction->setEnabled(several && shownPage + 1 < setPages.size());
}

// One decode at a time, so that flipping through a set never holds more than the page shown and
// the one being decoded; a decode that ends on a page no longer shown starts the one now shown.
void MainWindow::decodeShownPage()
{
    if (loading || currentImage || setPages.isEmpty() || pageDecode)
        return;
    pageDecode = std::make_unique<PageDecode>(this, currentSet.pages[shownPage], decodeTicket, shownPage);
}

void MainWindow::pageDecoded(quint64 ticket, int page, const std::optional<TargetImage>& image,
                             const QString& failure)
{
    pageDecode.reset();
    if (ticket != decodeTicket || page != shownPage) {
        decodeShownPage();
        return;
    }
    if (!image) {
        // The file changed since the set was opened.
        showError(tr("Could not load target image"),
                  tr("%1: %2").arg(targetPageName(currentSet.pages[page]), failure));
        return;
    }
    currentImage = image;
    refreshPreview();
}

bool MainWindow::waitForShownPage()
{
    for (int attempt = 0; attempt < 2 && !currentImage; ++attempt) {
        decodeShownPage();
        if (!pageDecode)
            break;
        pageDecode->wait();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    return currentImage.has_value();
}

} // namespace Plover
