// A thread that sleeps until a descriptor is readable and hands it to a
// handler, until stopped. The watchers of signals and of device arrivals are
// built on it: each only reads what woke it and posts a message.
#pragma once

#include <functional>
#include <thread>

class DescriptorWatch {
public:
    // Starts watching `fd` (which the caller keeps open until this is destroyed).
    DescriptorWatch(int fd, std::function<void()> onReadable);
    // Stops the thread and joins it.
    ~DescriptorWatch();
    DescriptorWatch(const DescriptorWatch&) = delete;
    DescriptorWatch& operator=(const DescriptorWatch&) = delete;

    bool Running() const { return m_thread.joinable(); }

private:
    void Watch();

    int m_fd;
    int m_stopFd;
    std::function<void()> m_onReadable;
    std::thread m_thread;
};
