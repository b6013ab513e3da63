#include "umockdev_writers.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

// ---------------------------------------------------------------- the testbed's folder

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*)
{
    // Depth first: a folder comes after its contents.
    std::remove(path);
    return 0;
}

void removeTree(const char* path)
{
    nftw(path, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// A process that removes `path` once the program has ended, however it ended:
// it waits for the end of a pipe whose write end only the program holds (not
// across exec, so programs it starts do not keep the folder). Called before
// main(), while there is one thread.
void startWatcher(const char* path)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    const pid_t pid = fork();
    if (pid != 0) {
        close(fds[0]);
        if (pid < 0)
            close(fds[1]);
        return;
    }
    // Out of the program's process group, so that a Ctrl-C or a kill of the
    // group ends the program but not the watcher; holding none of its files,
    // so that nobody waits for output from it.
    setpgid(0, 0);
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    const int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        dup2(null, fd);
    if (fds[0] != 3)
        dup2(fds[0], 3);
    if (close_range(4, ~0U, 0) != 0)
        for (int fd = 4; fd < 1024; ++fd)
            close(fd);
    for (;;) {
        char byte;
        const ssize_t n = read(3, &byte, 1);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
    }
    removeTree(path);
    _exit(0);
}

class PrivateTmpDir {
public:
    PrivateTmpDir()
    {
        char path[] = "/tmp/kesto-umd-XXXXXX";
        if (!mkdtemp(path)) {
            std::fprintf(stderr, "cannot make a folder for the umockdev testbed: %s\n", std::strerror(errno));
            return;
        }
        path_ = path;
        startWatcher(path);
        setenv("TMPDIR", path, 1);
    }

    ~PrivateTmpDir()
    {
        if (!path_.empty())
            removeTree(path_.c_str());
    }

    PrivateTmpDir(const PrivateTmpDir&) = delete;
    PrivateTmpDir& operator=(const PrivateTmpDir&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Before main(), hence before anything asks GLib for the temporary folder.
[[maybe_unused]] const std::string& madeBeforeMain = testbedTmpDir();

} // namespace

const std::string& testbedTmpDir()
{
    static const PrivateTmpDir dir;
    return dir.path();
}

// ---------------------------------------------------------------- emulated writers

namespace {

constexpr unsigned kCapabilities = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

void setInt(UMockdevIoctlData* data, std::size_t offset, int value)
{
    umockdev_ioctl_data_update(data, offset, reinterpret_cast<guint8*>(&value), sizeof value);
}

} // namespace

UmockdevWriterPort::UmockdevWriterPort(UMockdevTestbed* testbed, UsbPortSetup setup,
    std::shared_ptr<EmulatedWriter> writer)
    : testbed_(testbed)
    , setup_(setup)
    , writer_(std::move(writer))
{
    char node[64];
    std::snprintf(node, sizeof node, "bus/usb/%03d/%03d", setup_.bus, setup_.address);
    devNode_ = std::string("/dev/") + node;
    char path[128];
    std::snprintf(path, sizeof path, "/devices/pci0000:00/0000:00:14.0/usb%d/%d-%d", setup_.bus, setup_.bus,
        setup_.address);
    sysPath_ = std::string("/sys") + path;

    // The device node's ioctl socket lies in the testbed's folder.
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const std::string socketPath = std::string(root) + "/ioctl" + devNode_;
    g_free(root);
    if (socketPath.size() >= sizeof(sockaddr_un::sun_path))
        throw std::runtime_error("the testbed's folder is too deep for a unix socket: " + socketPath);

    // The handler must be in place before the device appears.
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UmockdevWriterPort::onIoctl), this);
    g_signal_connect(handler_, "handle-read", G_CALLBACK(&UmockdevWriterPort::onRead), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&UmockdevWriterPort::onVanished), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, devNode_.c_str(), handler_, &error)) {
        const std::string why = error ? error->message : "attach_ioctl failed";
        g_clear_error(&error);
        throw std::runtime_error(why);
    }

    const std::string desc = hex(descriptors());
    char text[4096];
    std::snprintf(text, sizeof text,
        "P: %s\n"
        "N: %s=%s\n"
        "E: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_device\n"
        "E: DEVNAME=%s\n"
        "E: BUSNUM=%03d\n"
        "E: DEVNUM=%03d\n"
        "E: PRODUCT=%x/%x/100\n"
        "A: idVendor=%04x\n"
        "A: idProduct=%04x\n"
        "A: busnum=%d\n"
        "A: devnum=%d\n"
        "A: speed=480\n"
        "A: bConfigurationValue=1\n"
        "A: bNumConfigurations=1\n"
        "H: descriptors=%s\n",
        path, node, desc.c_str(), devNode_.c_str(), setup_.bus, setup_.address, setup_.vendor, setup_.product,
        setup_.vendor, setup_.product, setup_.bus, setup_.address, desc.c_str());
    if (!umockdev_testbed_add_from_string(testbed_, text, &error)) {
        const std::string why = error ? error->message : "add_from_string failed";
        g_clear_error(&error);
        throw std::runtime_error(why);
    }
}

int UmockdevWriterPort::freshAddress()
{
    static std::mutex mutex;
    static int next = 20;
    std::lock_guard lock(mutex);
    const int address = next;
    next = next >= 127 ? 20 : next + 1;
    return address;
}

UmockdevWriterPort::~UmockdevWriterPort()
{
    unplug();
    umockdev_testbed_detach_ioctl(testbed_, devNode_.c_str(), nullptr);
    // No request is being answered once the handler is detached.
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
    std::lock_guard lock(mutex_);
    for (auto& [client, urbs] : urbs_)
        for (Urb& urb : urbs)
            release(urb);
    urbs_.clear();
}

void UmockdevWriterPort::unplug()
{
    {
        std::lock_guard lock(mutex_);
        if (!plugged_)
            return;
        plugged_ = false;
        // The kernel ends what is in flight; the host reaps it, then ENODEV.
        for (auto& [client, urbs] : urbs_) {
            for (Urb& urb : urbs) {
                if (!urb.done) {
                    urb.done = true;
                    urb.status = -ESHUTDOWN;
                    urb.actualLength = 0;
                }
            }
        }
    }
    if (writer_)
        writer_->unplug();
    umockdev_testbed_uevent(testbed_, sysPath_.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, sysPath_.c_str());
    // The testbed keeps the device node of a removed device; libusb 0.1 lists
    // the node folder, so the node goes too.
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    std::remove((std::string(root) + devNode_).c_str());
    g_free(root);
}

int UmockdevWriterPort::configurationSet() const
{
    std::lock_guard lock(mutex_);
    return configuration_;
}

int UmockdevWriterPort::interfacesClaimed() const
{
    std::lock_guard lock(mutex_);
    return claimed_;
}

int UmockdevWriterPort::timesClaimed() const
{
    std::lock_guard lock(mutex_);
    return claims_;
}

std::set<unsigned long> UmockdevWriterPort::unknownRequests() const
{
    std::lock_guard lock(mutex_);
    return unknown_;
}

std::vector<std::uint8_t> UmockdevWriterPort::descriptors() const
{
    const std::uint8_t vl = std::uint8_t(setup_.vendor & 0xFF), vh = std::uint8_t(setup_.vendor >> 8);
    const std::uint8_t pl = std::uint8_t(setup_.product & 0xFF), ph = std::uint8_t(setup_.product >> 8);
    std::vector<std::uint8_t> d = {
        // device: USB 2.0, 64-byte control endpoint, one configuration
        0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, vl, vh, pl, ph, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
        // configuration 1: one interface, bus powered
        0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
        // interface 0: two bulk endpoints, vendor class
        0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x00,
    };
    const std::vector<std::uint8_t> out = { 0x07, 0x05, 0x01, 0x02, 0x00, 0x02, 0x00 };
    const std::vector<std::uint8_t> in = { 0x07, 0x05, 0x82, 0x02, 0x00, 0x02, 0x00 };
    const auto& first = setup_.inEndpointFirst ? in : out;
    const auto& second = setup_.inEndpointFirst ? out : in;
    d.insert(d.end(), first.begin(), first.end());
    d.insert(d.end(), second.begin(), second.end());
    return d;
}

// ---------------------------------------------------------------- requests

gboolean UmockdevWriterPort::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* port = static_cast<UmockdevWriterPort*>(self);
    std::lock_guard lock(port->mutex_);
    port->handle(client);
    return TRUE;
}

// A read of the node gives the descriptors, as usbdevfs does.
gboolean UmockdevWriterPort::onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* port = static_cast<UmockdevWriterPort*>(self);
    std::lock_guard lock(port->mutex_);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::vector<std::uint8_t> all = port->descriptors();
    std::size_t& offset = port->readOffsets_[client];
    const std::size_t wanted = arg->data_len > 0 ? std::size_t(arg->data_len) : 0;
    const std::size_t n = offset < all.size() ? std::min(wanted, all.size() - offset) : 0;
    if (n > 0)
        umockdev_ioctl_data_update(arg, 0, const_cast<guint8*>(all.data() + offset), gint(n));
    offset += n;
    umockdev_ioctl_client_complete(client, glong(n), 0);
    return TRUE;
}

void UmockdevWriterPort::onVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
{
    auto* port = static_cast<UmockdevWriterPort*>(self);
    std::lock_guard lock(port->mutex_);
    if (auto it = port->urbs_.find(client); it != port->urbs_.end()) {
        for (Urb& urb : it->second)
            release(urb);
        port->urbs_.erase(it);
    }
    port->readOffsets_.erase(client);
}

void UmockdevWriterPort::handle(UMockdevIoctlClient* client)
{
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    static const bool trace = std::getenv("KESTO_UMOCKDEV_TRACE") != nullptr;
    if (trace)
        std::fprintf(stderr, "umockdev %s: request 0x%lx\n", devNode_.c_str(), request);
    auto answer = [client](long result, int error) { umockdev_ioctl_client_complete(client, result, error); };

    // Completed transfers can still be reaped after a removal.
    if (!plugged_ && request != USBDEVFS_REAPURB && request != USBDEVFS_REAPURBNDELAY)
        return answer(-1, ENODEV);

    switch (request) {
    case USBDEVFS_SUBMITURB:
        return submit(client, arg);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        return reap(client, arg);
    case USBDEVFS_DISCARDURB:
        return discard(client, arg);
    case USBDEVFS_SETCONFIGURATION: {
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
        if (!value)
            return answer(-1, EFAULT);
        configuration_ = int(*reinterpret_cast<unsigned*>(value->data));
        return answer(configuration_ == 1 ? 0 : -1, configuration_ == 1 ? 0 : EINVAL);
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
        ++claimed_;
        ++claims_;
        // Taking the interface starts a new session with the writer, as the
        // pipe flush does on the other platform.
        if (writer_)
            writer_->hostOpen();
        return answer(0, 0);
    case USBDEVFS_RELEASEINTERFACE:
        --claimed_;
        return answer(0, 0);
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
        if (!value)
            return answer(-1, EFAULT);
        std::uint32_t caps = kCapabilities;
        umockdev_ioctl_data_update(value, 0, reinterpret_cast<guint8*>(&caps), sizeof caps);
        return answer(0, 0);
    }
    case USBDEVFS_CONNECTINFO: {
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_connectinfo), nullptr);
        if (!value)
            return answer(-1, EFAULT);
        usbdevfs_connectinfo info{};
        info.devnum = unsigned(setup_.address);
        info.slow = 0;
        umockdev_ioctl_data_update(value, 0, reinterpret_cast<guint8*>(&info), sizeof info);
        return answer(0, 0);
    }
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        return answer(0, 0);
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        // No kernel driver is bound, and there is no hub behind this device.
        return answer(-1, ENODATA);
    default:
        unknown_.insert(request);
        return answer(-1, ENOTTY);
    }
}

void UmockdevWriterPort::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!urbData) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    Urb record;
    record.in = (urb->endpoint & 0x80) != 0;
    if (urb->buffer_length > 0) {
        record.buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
            std::size_t(urb->buffer_length), nullptr);
        if (!record.buffer) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        g_object_ref(record.buffer);
    }
    record.urb = urbData;
    g_object_ref(record.urb);

    if (urb->type != USBDEVFS_URB_TYPE_BULK) {
        // The writer only speaks on its bulk pipes.
        record.done = true;
        record.status = -EPIPE;
    } else if (!record.in && writer_ && record.buffer) {
        // A write the writer does not take stays in flight until the host
        // gives up on it, as a NAKed transfer does.
        const int taken = writer_->hostWrite(record.buffer->data, record.buffer->data_len);
        if (taken > 0) {
            record.done = true;
            record.actualLength = taken;
        }
    }
    urbs_[client].push_back(record);
    umockdev_ioctl_client_complete(client, 0, 0);
}

bool UmockdevWriterPort::finishOne(UrbList& urbs, Urb& finished)
{
    for (auto it = urbs.begin(); it != urbs.end(); ++it) {
        if (!it->done && it->in && writer_ && it->buffer) {
            std::vector<std::uint8_t> reply(std::size_t(it->buffer->data_len));
            const int n = writer_->hostRead(reply.data(), int(reply.size()), std::chrono::milliseconds(0));
            if (n > 0) {
                umockdev_ioctl_data_update(it->buffer, 0, reply.data(), n);
                it->done = true;
                it->actualLength = n;
            }
        }
        if (it->done) {
            finished = *it;
            urbs.erase(it);
            return true;
        }
    }
    return false;
}

void UmockdevWriterPort::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    UrbList& urbs = urbs_[client];
    Urb finished;
    if (!finishOne(urbs, finished)) {
        umockdev_ioctl_client_complete(client, -1, plugged_ ? EAGAIN : ENODEV);
        return;
    }
    setInt(finished.urb, offsetof(usbdevfs_urb, status), finished.status);
    setInt(finished.urb, offsetof(usbdevfs_urb, actual_length), finished.actualLength);
    // The host gets back the address of its own URB.
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    if (!slot || !umockdev_ioctl_data_set_ptr(slot, 0, finished.urb)) {
        release(finished);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    release(finished);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UmockdevWriterPort::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg)
{
    // The argument is the URB's own address.
    const auto address = *reinterpret_cast<const gulong*>(arg->data);
    for (Urb& urb : urbs_[client]) {
        if (urb.urb->client_addr == address && !urb.done) {
            urb.done = true;
            urb.status = -ENOENT;
            urb.actualLength = 0;
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

void UmockdevWriterPort::release(Urb& urb)
{
    if (urb.buffer)
        g_object_unref(urb.buffer);
    if (urb.urb)
        g_object_unref(urb.urb);
    urb.buffer = urb.urb = nullptr;
}
