#pragma once

#include "imaging/image_loader.h"
#include "imaging/target_image.h"
#include "imaging/target_set.h"
#include "layout/print_layout.h"
#include "printing/print_job.h"

#include <QCoreApplication>
#include <QIcon>
#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QToolButton;

namespace Plover {

class PreviewWidget;

// The program's one window. It declares no signals or slots of its own: every connection goes
// to a lambda that calls one of the operations below. The definition is split by the part of the
// window each file holds: main_window.cpp (window, menus, toolbar, zoom), settings_panel.cpp (the
// right-hand panel: print settings, image facts, logo and error banner, with its handlers),
// stored_settings.cpp (the stored print settings and the controls that show them), image_loading.cpp
// (load, drop, image facts, preview, the pages of a set), print_action.cpp (the Print command and the crop
// question), print_record_flow.cpp (the print record written after a set is printed and offered when it
// is opened), about_dialog.cpp and painted_icons.cpp.
class MainWindow : public QMainWindow
{
    // Texts are translated in the window's own context; the window needs no meta-object for that.
    Q_DECLARE_TR_FUNCTIONS(Plover::MainWindow)

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void openImageFile();
    void openImagePath(const QString& path);
    // Opens the files as one set, in the order of their numbers or names.
    void openImagePaths(const QStringList& paths);
    void showPage(int index);
    void showAboutDialog();
    // Prints the set shown: a single image as the page shown, several pages in one job, whose print
    // record is written beside the set.
    void printImage();

    static QIcon fitToScreenIcon();
    static QIcon alignmentIcon(PrintAlignment alignment);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildUi();
    QWidget* buildSettingsPanel();
    static QLabel* createInfoLabel(const QString& text);

    void loadImages(const QStringList& paths);
    std::optional<LoadedTargetSet> loadInBackground(const TargetSet& set);
    bool confirmEmbeddedProfile(const LoadedTargetSet& loaded);
    void decodeShownPage();
    void pageDecoded(quint64 ticket, int page, const std::optional<TargetImage>& image,
                     const QString& failure);
    bool waitForShownPage();
    void updatePageControl();
    void showError(const QString& title, const QString& message);
    void updateImageInfo();
    void refreshPreview();

    void loadSettings();
    void saveSettings();
    void syncControls();
    void selectPaper(int index);
    void selectOrientation(int index);
    void selectAlignment(PrintAlignment alignment);
    void checkAlignmentButton(PrintAlignment alignment);
    bool confirmCropping();
    // Called once a set is accepted: a set of several pages printed before offers to be printed the same
    // way again.
    void offerPrintRecord(const TargetSet& set);
    void rememberPrint(const TargetSet& set, const PrintedDocument& printed);
    void updateZoomLabel(double percent);
    void setZoomControlsEnabled(bool enabled);

    ImageLoader imageLoader;
    PrintJob printJob;
    PrintLayout printLayout;
    // The set on show: its pages' sources and facts (each with a stand-in image), the page shown,
    // and that page with all its pixels once decoded. Only the page shown is held whole.
    TargetSet currentSet;
    QList<TargetImage> setPages;
    int shownPage = 0;
    std::optional<TargetImage> currentImage;
    bool loading = false;
    class PageDecode;
    std::unique_ptr<PageDecode> pageDecode;
    quint64 decodeTicket = 0; // a decode that finds the ticket changed is for a page no longer shown
    std::optional<PageOrientation> naturalOrientation;
    bool syncingControls = false;
    // Where the next print of the set starts: the printer and resolution it was last printed with.
    PrinterPreset printerPreset;

    QAction* printAction = nullptr;
    QAction* loadAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* zoomInAction = nullptr;
    QAction* zoomOutAction = nullptr;
    QAction* fitToScreenAction = nullptr;
    QAction* previousPageAction = nullptr;
    QAction* nextPageAction = nullptr;
    QAction* pageLabelAction = nullptr;
    QLabel* pageLabel = nullptr;
    QGroupBox* setGroup = nullptr;
    QLabel* setFactsLabel = nullptr;
    PreviewWidget* previewWidget = nullptr;
    QLabel* zoomLabel = nullptr;
    QComboBox* paperCombo = nullptr;
    QComboBox* orientationCombo = nullptr;
    QLabel* imageTitleLabel = nullptr;
    QLabel* pixelsLabel = nullptr;
    QLabel* dpiLabel = nullptr;
    QLabel* printSizeLabel = nullptr;
    QLabel* colorModelLabel = nullptr;
    QLabel* iccProfileLabel = nullptr;
    QLabel* errorLabel = nullptr;
    QToolButton* aboutButton = nullptr;
    std::array<QToolButton*, 9> alignmentButtons{};
};

} // namespace Plover
