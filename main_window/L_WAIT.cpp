#include "main_window/L_WAIT.h"

#include "map_service/L_INET.h"
#include "map_service/L_LIMIT.h"

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace L_WAIT {

namespace {

void Loop(Helper &helper) {
    std::unique_lock lock(helper.mutex);
    for (;;) {
        helper.wake.wait(lock, [&] { return helper.road || helper.quit; });
        if (!helper.road) return; // quit, with no road left to run
        lock.unlock();
        helper.road(); // the handler does not touch `road` while it is set
        lock.lock();
        helper.road = nullptr;
        helper.wake.notify_all();
    }
}

bool IsMouse(const QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return false;
    }
}

// The widget a mouse event or shortcut is aimed at: a widget receiver itself, or for the
// platform window of `top` the child under the pointer; null for anything else.
QWidget *Aim(QObject *receiver, const QEvent *event, QWidget *top) {
    const bool mouse = IsMouse(event);
    if (!mouse && event->type() != QEvent::Shortcut) return nullptr;
    if (receiver->isWidgetType()) return static_cast<QWidget *>(receiver);
    if (!mouse || receiver != static_cast<QObject *>(top->windowHandle())) return nullptr;
    return top->childAt(static_cast<const QMouseEvent *>(event)->position().toPoint());
}

enum class Input { Pass, Hold, Drop };

Input Sort(QObject *receiver, const QEvent *event, QWidget *top, QWidget *list) {
    if (IsMouse(event)) {
        const QWidget *aim = Aim(receiver, event, top);
        if (aim && (aim == list || list->isAncestorOf(aim))) return Input::Drop;
        return event->type() == QEvent::MouseMove ? Input::Pass : Input::Hold;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
        return Input::Hold;
    default:
        return Input::Pass;
    }
}

// Hands `road` to the helper (started if need be) and returns at once; one road at a time.
void Run(Helper &helper, std::function<void()> road) {
    {
        std::lock_guard lock(helper.mutex);
        Q_ASSERT(!helper.road);
        helper.road = std::move(road);
        helper.quit = false;
    }
    if (!helper.thread.joinable())
        helper.thread = std::thread(Loop, std::ref(helper));
    else
        helper.wake.notify_all();
}

// Returns once the road handed over last has returned.
void Wait(Helper &helper) {
    std::unique_lock lock(helper.mutex);
    helper.wake.wait(lock, [&] { return !helper.road; });
}

} // namespace

bool Await(Waiting &waiting, QObject *filter, const std::function<bool()> &road) {
    if (waiting.now) return false;
    long connectMs = 0, totalMs = 0;
    L_INET::Timeouts(connectMs, totalMs);
    const qint64 deadline = L_LIMIT::NowMs() + totalMs;
    bool result = false;
    QEventLoop answered;
    waiting.stop = false;
    Run(waiting.helper, [&] {
        L_LIMIT::SetLimits({&waiting.stop, deadline});
        result = road();
        QMetaObject::invokeMethod(&answered, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.now = true;
    qApp->installEventFilter(filter);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    answered.exec();     // returns at once when the program is quitting
    waiting.stop = true; // and then the road gives up at once
    Wait(waiting.helper);
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(filter);
    waiting.now = false;
    return result;
}

void Join(Helper &helper) {
    if (!helper.thread.joinable()) return;
    {
        std::lock_guard lock(helper.mutex);
        helper.quit = true;
    }
    helper.wake.notify_all();
    helper.thread.join();
}

bool Take(Waiting &waiting, QObject *receiver, QEvent *event, QWidget *top, QWidget *list,
          const QWidget *quit) {
    if (!waiting.now) return false;
    const Input input = Sort(receiver, event, top, list);
    if (input == Input::Pass) return false;
    if (input == Input::Hold) {
        if (Aim(receiver, event, top) == quit) waiting.stop = true;
        waiting.held.push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
    }
    event->accept(); // taken: not handed on to the parent widgets
    return true;
}

void Deliver(std::vector<Held> held) {
    // notify() rather than sendEvent(): it keeps the event spontaneous, so that a click
    // still gives the focus as the user's own click does.
    for (Held &one : held)
        if (one.receiver) QCoreApplication::instance()->notify(one.receiver, one.event.get());
}

} // namespace L_WAIT
