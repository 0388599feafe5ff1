#pragma once
// The window's wait for a road: one helper thread for the window's lifetime that runs the
// roads one at a time, and what becomes of the user's input meanwhile.
#include <QEvent>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QWidget;

namespace L_WAIT {

// The helper thread and the road it runs. The thread keeps what it set up (its limits,
// its transfers' connections) from one road to the next.
struct Helper {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    std::function<void()> road; // the road handed over; empty once it has returned
    bool quit = false;
};

// An input event held back, and where it went.
struct Held {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
};

// A window's waits for its roads: the helper, the running road's stop flag, and what came
// meanwhile.
struct Waiting {
    Helper helper;
    std::atomic<bool> stop{false};
    bool now = false;        // a handler waits for its road
    bool closeAsked = false; // a close request came meanwhile
    std::vector<Held> held;  // the user's input that came meanwhile
};

// The road's result, run on the helper thread (started at the first road) within the total
// timeout while the caller waits here under the wait cursor, `filter` seeing every event of
// the application; false, running nothing, when a wait runs already.
bool Await(Waiting &waiting, QObject *filter, const std::function<bool()> &road);
// Ends the helper thread once its road has returned; nothing when it never started.
void Join(Helper &helper);

// True when the event is taken while `top` waits: mouse events aimed into `list` dropped
// (the rows they aimed at are gone), mouse buttons elsewhere, keys and shortcuts held (one
// aimed at `quit` stops the road). Paint, timers, moves and a close request pass.
bool Take(Waiting &waiting, QObject *receiver, QEvent *event, QWidget *top, QWidget *list,
          const QWidget *quit);
// Delivers held events in order, still spontaneous (a click focuses), to living receivers.
void Deliver(std::vector<Held> held);

} // namespace L_WAIT
