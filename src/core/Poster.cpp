#include "core/Poster.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type kDrainEvent = QEvent::Type(QEvent::registerEventType());

} // namespace

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
        QCoreApplication::postEvent(this, new QEvent(kDrainEvent));
    }
}

bool Poster::event(QEvent* event)
{
    if (event->type() != kDrainEvent)
        return QObject::event(event);
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        wakeQueued_ = false;
    }
    // A function may post again; that goes into the next batch.
    for (std::function<void()>& fn : batch)
        fn();
    return true;
}
