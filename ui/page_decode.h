#pragma once

#include "imaging/image_load_exception.h"
#include "main_window.h"

#include <QThreadPool>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace Plover {

// One page decoded on Qt's global thread pool, its result posted to the window. Destroying it waits
// for the decode, so that it never reports to a window that is gone.
class MainWindow::PageDecode
{
public:
    PageDecode(MainWindow* window, const TargetPageSource& source, quint64 ticket, int page)
    {
        QThreadPool::globalInstance()->start([state = state, window, loader = window->imageLoader, source,
                                              ticket, page] {
            std::optional<TargetImage> image;
            QString failure;
            try {
                image = loader.loadTargetPage(source);
            } catch (const ImageLoadException& error) {
                failure = error.message();
            } catch (const std::exception& error) {
                failure = QString::fromUtf8(error.what());
            }
            QMetaObject::invokeMethod(
                window,
                [window, ticket, page, image, failure] { window->pageDecoded(ticket, page, image, failure); },
                Qt::QueuedConnection);
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->finished = true;
            state->finishedChanged.notify_all();
        });
    }

    ~PageDecode() { wait(); }

    void wait()
    {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->finishedChanged.wait(lock, [this] { return state->finished; });
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable finishedChanged;
        bool finished = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

} // namespace Plover
