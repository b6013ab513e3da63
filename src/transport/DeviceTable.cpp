#include "transport/DeviceTable.h"

#include <algorithm>

DeviceTable::DeviceTable()
    : onCloseFailure_(std::make_shared<std::function<void(int)>>())
{
}

DeviceTable::~DeviceTable()
{
    for (int i = 0; i < kMaxDevices; ++i)
        close(i);
}

void DeviceTable::setCloseFailureHandler(std::function<void(int index)> handler)
{
    *onCloseFailure_ = std::move(handler);
}

bool DeviceTable::isOpen(int index) const
{
    if (index < 0 || index >= kMaxDevices)
        return false;
    std::lock_guard lock(entries_[index].mutex);
    return entries_[index].device != nullptr;
}

bool DeviceTable::install(int index, std::unique_ptr<OpenedDevice> device)
{
    if (!device)
        return false;
    // Whoever drops the last reference (the table on close, or a transfer
    // that was still running then) releases the platform handles.
    auto handler = onCloseFailure_;
    std::shared_ptr<OpenedDevice> shared(device.release(), [index, handler](OpenedDevice* d) {
        if (!d->close() && *handler)
            (*handler)(index);
        delete d;
    });
    if (index < 0 || index >= kMaxDevices)
        return false;
    std::lock_guard lock(entries_[index].mutex);
    if (entries_[index].device)
        return false;
    entries_[index].device = std::move(shared);
    return true;
}

void DeviceTable::close(int index)
{
    if (index < 0 || index >= kMaxDevices)
        return;
    std::shared_ptr<OpenedDevice> released;
    {
        std::lock_guard lock(entries_[index].mutex);
        released.swap(entries_[index].device);
    }
    // `released` goes out of scope outside the lock: a slow close never holds
    // up a transfer that is just looking the entry up.
}

std::shared_ptr<OpenedDevice> DeviceTable::acquire(int index) const
{
    if (index < 0 || index >= kMaxDevices)
        return nullptr;
    std::lock_guard lock(entries_[index].mutex);
    return entries_[index].device;
}

std::shared_ptr<OpenedDevice> DeviceTable::device(int index) const
{
    return acquire(index);
}

std::int32_t DeviceTable::write(int index, const std::uint8_t* data, std::int32_t length)
{
    if (length <= 0 || !data)
        return 0;
    auto device = acquire(index);
    if (!device)
        return 0;
    const std::int32_t n = device->write(data, length);
    return n > 0 ? n : 0;
}

std::int32_t DeviceTable::read(int index, std::uint8_t* buffer, std::int32_t length)
{
    if (length <= 0 || !buffer)
        return 0;
    auto device = acquire(index);
    if (!device)
        return 0;
    const std::int32_t n = device->read(buffer, length);
    return n > 0 ? std::min(n, length) : 0;
}
