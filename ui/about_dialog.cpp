#include "main_window.h"
#include "ui/application_info.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace Plover {

namespace {

QLabel* centredLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

void MainWindow::showAboutDialog()
{
    // Built afresh each time and destroyed on return: the dialog keeps nothing between calls.
    QDialog dialog(this);
    dialog.setWindowTitle(tr("About Plover"));
    dialog.setModal(true);

    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(24, 24, 24, 18);
    layout->setSpacing(14);

    auto* logo = centredLabel(QString());
    logo->setPixmap(QPixmap(QStringLiteral(":/branding/tessaly-logo.png"))
                        .scaled(360, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    layout->addWidget(logo);

    auto* name = centredLabel(QString::fromUtf8(ApplicationInfo::name));
    QFont nameFont = name->font();
    nameFont.setPointSize(nameFont.pointSize() + 8);
    nameFont.setWeight(QFont::Bold);
    name->setFont(nameFont);
    layout->addWidget(name);

    layout->addWidget(
        centredLabel(tr("Developed by %1").arg(QString::fromUtf8(ApplicationInfo::organization))));
    layout->addWidget(centredLabel(tr("Version %1").arg(QCoreApplication::applicationVersion())));

    // The link shows the site without its scheme.
    const QUrl site(QString::fromUtf8(ApplicationInfo::homepage));
    auto* link =
        centredLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(site.toString(), site.host() + site.path()));
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(link, &QLabel::linkActivated, this,
            [](const QString& target) { QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode)); });
    layout->addWidget(link);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    auto* closeButton = new QPushButton(tr("Close"));
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    buttonRow->addWidget(closeButton);
    layout->addLayout(buttonRow);

    dialog.exec();
}

} // namespace Plover
