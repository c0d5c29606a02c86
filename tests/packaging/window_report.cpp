// A Qt plugin that the archive's smoke test loads into the unpacked plover.exe through Qt's own
// QT_QPA_GENERIC_PLUGINS=plover_window_report:<file>. Once the window shows an image (or a load
// error), it writes the window title and the Image group's texts to <file>, one a line, and closes
// the window, which ends the program. The window is read as the window tests read it.
#include "tests/ui/window_test.h"

#include <QApplication>
#include <QFile>
#include <QGenericPlugin>
#include <QTimer>

class WindowReport : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "window_report.json")

public:
    QObject* create(const QString&, const QString& file) override
    {
        auto* poll = new QTimer;
        connect(poll, &QTimer::timeout, poll, [poll, file] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (!window->isVisible() || !PloverTest::group(window, QStringLiteral("Image")))
                    continue;
                QStringList lines{window->windowTitle()};
                for (QLabel* label : PloverTest::imageLabels(window))
                    lines << label->text();
                if (lines[1] == QLatin1String("No image loaded") &&
                    PloverTest::errorBanner(window)->isHidden())
                    return;
                QFile out(file);
                if (out.open(QIODevice::WriteOnly))
                    out.write((lines << PloverTest::errorBanner(window)->text()).join(u'\n').toUtf8());
                poll->stop();
                window->close();
            }
        });
        poll->start(100);
        return poll;
    }
};

#include "window_report.moc"
