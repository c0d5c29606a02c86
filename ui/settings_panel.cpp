#include "main_window.h"
#include "preview/preview_widget.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace Plover {

namespace {

const char* const alignmentButtonStyle =
    "QToolButton { border: 1px solid #cfd7e2; border-radius: 6px; background: #ffffff; }"
    "QToolButton:hover { background: #f3f7fc; border-color: #9db4d2; }"
    "QToolButton:checked { background: #e8f1ff; border: 2px solid #155ada; }";

const char* const aboutButtonStyle =
    "QToolButton { border: 1px solid #d8e0ea; border-radius: 6px; background: #ffffff; padding: 12px; }"
    "QToolButton:hover { background: #f8fbff; border-color: #9db4d2; }";

const char* const errorBannerStyle =
    "QLabel { color: #8a1f11; background: #fdecea; border: 1px solid #f5c2c7; padding: 8px; }";

QGroupBox* groupWith(const QString& title, QWidget* content)
{
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(content);
    return group;
}

// The layout's names are the settings' stored values, so they are translated only here, for showing.
QString shownPaperName(const PaperSize& paper)
{
    return QCoreApplication::translate("Plover::PaperSize", paper.name.toUtf8().constData());
}

QString shownAlignmentName(PrintAlignment alignment)
{
    return QCoreApplication::translate("Plover::PrintAlignment",
                                       alignmentName(alignment).toUtf8().constData());
}

} // namespace

QLabel* MainWindow::createInfoLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #5f6b7a;"));
    return label;
}

QWidget* MainWindow::buildSettingsPanel()
{
    // As wide as the scroll area that holds it, less its scroll bar while that shows.
    auto* panel = new QWidget;
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(8, 0, 0, 0);
    panelLayout->setSpacing(16);

    auto* heading = new QLabel(tr("Inspector"));
    QFont headingFont = heading->font();
    headingFont.setPointSize(headingFont.pointSize() + 4);
    headingFont.setWeight(QFont::Bold);
    heading->setFont(headingFont);
    panelLayout->addWidget(heading);
    panelLayout->addSpacing(8);

    // The choosers are connected only once filled, so filling them runs no handler.
    paperCombo = new QComboBox;
    for (const PaperSize& paper : paperSizes())
        paperCombo->addItem(shownPaperName(paper));
    panelLayout->addWidget(groupWith(tr("Paper"), paperCombo));
    connect(paperCombo, &QComboBox::currentIndexChanged, this, [this](int index) { selectPaper(index); });

    orientationCombo = new QComboBox;
    orientationCombo->addItem(tr("Portrait"));
    orientationCombo->addItem(tr("Landscape"));
    panelLayout->addWidget(groupWith(tr("Orientation"), orientationCombo));
    connect(orientationCombo, &QComboBox::currentIndexChanged, this,
            [this](int index) { selectOrientation(index); });

    auto* alignmentGroup = new QGroupBox(tr("Alignment"));
    auto* grid = new QGridLayout(alignmentGroup);
    grid->setSpacing(8);
    auto* buttonGroup = new QButtonGroup(alignmentGroup);
    buttonGroup->setExclusive(true);
    for (int v = 0; v < 9; ++v) {
        const auto alignment = static_cast<PrintAlignment>(v);
        auto* button = new QToolButton;
        button->setIcon(alignmentIcon(alignment));
        button->setIconSize(QSize(28, 28));
        button->setToolTip(shownAlignmentName(alignment));
        button->setCheckable(true);
        button->setFixedSize(44, 44);
        button->setStyleSheet(QString::fromLatin1(alignmentButtonStyle));
        alignmentButtons[static_cast<std::size_t>(v)] = button;
        buttonGroup->addButton(button, v);
        grid->addWidget(button, v / 3, v % 3);
        connect(button, &QToolButton::clicked, this, [this, alignment] { selectAlignment(alignment); });
    }
    panelLayout->addWidget(alignmentGroup);

    auto* imageGroup = new QGroupBox(tr("Image"));
    auto* imageLayout = new QVBoxLayout(imageGroup);
    imageTitleLabel = new QLabel(tr("No image loaded"));
    imageTitleLabel->setWordWrap(true);
    imageLayout->addWidget(imageTitleLabel);
    for (QLabel** fact : {&pixelsLabel, &dpiLabel, &printSizeLabel, &colorModelLabel, &iccProfileLabel}) {
        *fact = createInfoLabel(QString());
        imageLayout->addWidget(*fact);
    }
    panelLayout->addWidget(imageGroup);

    // Shown only for a set of several pages, so that a single image's panel is as it always was.
    setFactsLabel = createInfoLabel(QString());
    setGroup = groupWith(tr("Set"), setFactsLabel);
    setGroup->hide();
    panelLayout->addWidget(setGroup);

    aboutButton = new QToolButton;
    aboutButton->setIcon(QIcon(QStringLiteral(":/branding/tessaly-logo.png")));
    aboutButton->setIconSize(QSize(260, 86));
    aboutButton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    aboutButton->setToolTip(tr("About Plover"));
    aboutButton->setFixedHeight(112);
    aboutButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    aboutButton->setStyleSheet(QString::fromLatin1(aboutButtonStyle));
    connect(aboutButton, &QToolButton::clicked, this, [this] { showAboutDialog(); });
    panelLayout->addWidget(aboutButton);

    errorLabel = new QLabel;
    errorLabel->setWordWrap(true);
    errorLabel->setStyleSheet(QString::fromLatin1(errorBannerStyle));
    errorLabel->hide();
    panelLayout->addWidget(errorLabel);

    panelLayout->addStretch(1);
    return panel;
}

// The panel's handlers: a user's choice changes the layout, is stored, and shows at once.
void MainWindow::selectPaper(int index)
{
    // The combo holds the catalogue in its order; -1 means no item.
    if (syncingControls || index < 0)
        return;
    printLayout.paper = paperSizes()[static_cast<std::size_t>(index)];
    saveSettings();
    refreshPreview();
}

void MainWindow::selectOrientation(int index)
{
    if (syncingControls || index < 0)
        return;
    printLayout.orientation = index == 1 ? PageOrientation::Landscape : PageOrientation::Portrait;
    if (!setPages.isEmpty() && naturalOrientation)
        printLayout.rotationDegrees = printLayout.orientation == *naturalOrientation ? 0 : 90;
    saveSettings();
    updateImageInfo();
    refreshPreview();
}

void MainWindow::selectAlignment(PrintAlignment alignment)
{
    printLayout.alignment = alignment;
    checkAlignmentButton(alignment);
    saveSettings();
    refreshPreview();
}

} // namespace Plover
