#pragma once
// Runs functions on the thread an object lives on, posted from any thread,
// in the order they were posted, also relative to what the same thread posts
// elsewhere (one wake-up event per function).
//
// What crosses the threads goes through a std::mutex of our own; Qt only
// carries a bare wake-up call by name, whose event our code never touches.
// So the hand-over is one that thread checkers see, and a function posted
// after the poster is gone never runs.

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class Poster : public QObject {
    Q_OBJECT
public:
    // Lives on the thread that creates it.
    explicit Poster(QObject* parent = nullptr);
    ~Poster() override;

    // Callable from any thread; `fn` runs later on the poster's thread.
    void post(std::function<void()> fn);

private:
    Q_INVOKABLE void drain();

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_; // guarded by mutex_
};
