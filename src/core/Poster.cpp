#include "core/Poster.h"

#include <QMetaObject>

Poster::Poster(QObject* parent)
    : QObject(parent)
{
}

Poster::~Poster() = default;

void Poster::post(std::function<void()> fn)
{
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    if (!wakeQueued_) {
        wakeQueued_ = true;
        QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
    }
}

void Poster::drain()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        wakeQueued_ = false;
    }
    // A function may post again; that goes into the next batch.
    for (std::function<void()>& fn : batch)
        fn();
}
