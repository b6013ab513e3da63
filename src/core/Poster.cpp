#include "core/Poster.h"

#include <QMetaObject>

Poster::Poster(QObject* parent)
    : QObject(parent)
{
}

Poster::~Poster() = default;

void Poster::post(std::function<void()> fn)
{
    // One wake-up per function: the functions then run in the order of the
    // events, which keeps them in step with what the same thread posted to
    // other posters and objects.
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
    QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void Poster::drain()
{
    std::function<void()> fn;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty())
            return;
        fn = std::move(queue_.front());
        queue_.pop_front();
    }
    fn();
}
