#pragma once

// Finds the main window's parts the way a user sees them: by group titles, texts and order.
#include "ui/main_window.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>

namespace PloverTest {

inline QGroupBox* group(QWidget* window, const QString& title)
{
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        if (box->title() == title)
            return box;
    }
    return nullptr;
}

inline QComboBox* paperCombo(QWidget* window)
{
    return group(window, QStringLiteral("Paper"))->findChild<QComboBox*>();
}

inline QComboBox* orientationCombo(QWidget* window)
{
    return group(window, QStringLiteral("Orientation"))->findChild<QComboBox*>();
}

// Button i stands for alignment value i (creation order).
inline QList<QToolButton*> alignmentButtons(QWidget* window)
{
    return group(window, QStringLiteral("Alignment"))->findChildren<QToolButton*>();
}

// Title first, then pixels, dpi, print size, colour model, profile.
inline QList<QLabel*> imageLabels(QWidget* window)
{
    return group(window, QStringLiteral("Image"))->findChildren<QLabel*>();
}

inline QLabel* errorBanner(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->styleSheet().contains(QLatin1String("#fdecea")))
            return label;
    }
    return nullptr;
}

inline QAction* action(QWidget* window, const QString& text)
{
    for (QAction* candidate : window->findChildren<QAction*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

} // namespace PloverTest
