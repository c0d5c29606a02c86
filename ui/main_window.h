#pragma once

#include "imaging/image_loader.h"
#include "imaging/target_image.h"
#include "layout/print_layout.h"
#include "printing/print_job.h"

#include <QCoreApplication>
#include <QIcon>
#include <QMainWindow>
#include <array>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QToolButton;

namespace Plover {

class PreviewWidget;

// The program's one window. It declares no signals or slots of its own: every connection goes
// to a lambda that calls one of the operations below. The definition is split by the part of the
// window each file holds: main_window.cpp (window, menus, toolbar, zoom), settings_panel.cpp (the
// right-hand panel: print settings, image facts, logo and error banner, with its handlers),
// stored_settings.cpp (the stored print settings and the controls that show them), image_loading.cpp
// (load, drop, image facts, preview), print_action.cpp (the Print command and the crop question),
// print_record_flow.cpp (the print record written after a set is printed and offered when it is opened),
// about_dialog.cpp and painted_icons.cpp.
class MainWindow : public QMainWindow
{
    // Texts are translated in the window's own context; the window needs no meta-object for that.
    Q_DECLARE_TR_FUNCTIONS(Plover::MainWindow)

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void openImageFile();
    void openImagePath(const QString& path);
    void showAboutDialog();
    void printImage();
    // Prints every page of the set in one job and, for more than one page, writes its print record.
    void printSet(const TargetSet& set);
    // Called once a set is accepted: a set of several pages printed before offers to be printed the same
    // way again.
    void offerPrintRecord(const TargetSet& set);

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

    void loadImage(const QString& path);
    bool confirmEmbeddedProfile(const TargetImage& image);
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
    bool confirmCropping(const TargetImage& image);
    void rememberPrint(const TargetSet& set, const PrintedDocument& printed);
    void updateZoomLabel(double percent);
    void setZoomControlsEnabled(bool enabled);

    ImageLoader imageLoader;
    PrintJob printJob;
    PrintLayout printLayout;
    std::optional<TargetImage> currentImage;
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
