// The watch for servers whose connection was lost: an open that finds a try
// under way waits for its outcome, and a request to stop ends that wait at once.
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/comm/net/server_watch.h"
#include "support/silent_listener.h"

namespace {

using namespace comm::net;
using namespace std::chrono_literals;

TEST(ServerWatch, AnOpenWaitingForATryUnderWayEndsWhenAskedToStop) {
    testsupport::SilentListener server;  // takes the connection and never says a word: a try waits 5 s
    const NetAddress address = *ParseNetAddress(server.Address("rfc2217"));
    ServerLost(NetAddressText(address));
    std::string signature;
    ASSERT_FALSE(ServerAnswering(address, signature)) << "no try was started";
    const int stop = eventfd(0, EFD_CLOEXEC);
    std::thread user([stop] {
        std::this_thread::sleep_for(200ms);
        eventfd_write(stop, 1);
    });
    const auto start = std::chrono::steady_clock::now();
    const OpenedConnection opened = OpenServer(address, stop);
    const auto waited = std::chrono::steady_clock::now() - start;
    user.join();
    close(stop);
    EXPECT_EQ(opened.connection, nullptr);
    EXPECT_EQ(opened.result.error, static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_LT(waited, 2s) << "the open waited for the try to end";
}

}  // namespace
