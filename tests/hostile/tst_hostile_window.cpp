// A window showing a good target is handed every file of the hostile corpus in turn. A refused
// file must show the load banner and leave the image, its facts, the layout and the preview as
// they were. A file that loads by design is shown, then the good target is loaded again, which
// must bring back exactly the window it had.
#include "hostile_corpus.h"
#include "preview/preview_widget.h"
#include "tests/support/image_files.h"
#include "tests/support/modal_answer.h"
#include "tests/support/tiff_writer.h"
#include "tests/ui/window_probe.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace PloverTest;

namespace {

// What a user sees of the window's state: the image facts, the three choosers, the preview.
struct WindowState
{
    QStringList facts;
    QStringList choices;
    QImage preview;

    static WindowState of(QWidget* window)
    {
        // Layouts settle through posted events; the preview is grabbed at its settled size.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        WindowState state;
        for (QLabel* label : imageLabels(window))
            state.facts << label->text();
        state.choices << paperCombo(window)->currentText() << orientationCombo(window)->currentText();
        for (QToolButton* button : alignmentButtons(window))
            state.choices << QString::number(button->isChecked());
        state.preview = window->findChild<Plover::PreviewWidget*>()->grab().toImage().convertToFormat(
            QImage::Format_RGB32);
        return state;
    }
};

} // namespace

class HostileWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString goodPath;
    std::unique_ptr<Plover::MainWindow> window;
    WindowState good;

    void expectGoodState()
    {
        const WindowState now = WindowState::of(window.get());
        QCOMPARE(now.facts, good.facts);
        QCOMPARE(now.choices, good.choices);
        QCOMPARE(now.preview.size(), good.preview.size());
        QVERIFY(now.preview == good.preview);
    }

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void windowKeepsItsStateForEveryFile_data();
    void windowKeepsItsStateForEveryFile();
};

void HostileWindowTest::initTestCase()
{
    QVERIFY(dir.isValid());
    goodPath = dir.filePath(QStringLiteral("good-target.tif"));
    QVERIFY(writeRgbTiff(goodPath, patternImage(600, 450), 150, 150));
    window = std::make_unique<Plover::MainWindow>();
    window->resize(1100, 1000); // tall enough that the banner never grows the window
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->openImagePath(goodPath);
    QVERIFY(!errorBanner(window.get())->isVisible());
    QCOMPARE(imageLabels(window.get()).first()->text(), QStringLiteral("good-target.tif"));
    good = WindowState::of(window.get());
}

void HostileWindowTest::windowKeepsItsStateForEveryFile_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : hostileCorpusNames())
        QTest::newRow(name.toUtf8().constData()) << name;
}

void HostileWindowTest::windowKeepsItsStateForEveryFile()
{
    QFETCH(QString, name);
    const QString path = QDir(hostileCorpusDir()).filePath(name);
    // The loader's own verdict decides which rule applies; the corpus test checks the verdict.
    const LoadOutcome outcome = loadOutcome(path);
    QLabel* banner = errorBanner(window.get());
    // Each file meets the good target with the banner hidden, so that a stale banner left by the
    // file before cannot stand in for this one's.
    window->openImagePath(goodPath);
    QVERIFY(!banner->isVisible());

    if (!outcome.record) {
        window->openImagePath(path);
        QVERIFY(banner->isVisible());
        QVERIFY2(banner->text().contains(QLatin1String("Could not load target image")),
                 qPrintable(banner->text()));
        QVERIFY2(banner->text().contains(outcome.message.toHtmlEscaped()), qPrintable(banner->text()));
        expectGoodState();
        return;
    }

    std::shared_ptr<MessageBoxSeen> question;
    if (outcome.record->hasIccProfile)
        question = answerNextMessageBox(QStringLiteral("Continue"));
    window->openImagePath(path);
    if (question)
        QVERIFY(question->seen);
    QVERIFY(!banner->isVisible());
    QCOMPARE(imageLabels(window.get()).first()->text(), name);

    window->openImagePath(goodPath);
    QVERIFY(!banner->isVisible());
    expectGoodState();
}

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plover"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    HostileWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile_window.moc"
