// The host lookup under a connect is held to the connect's deadline. A name
// server that never answers is a UDP port nobody reads, on the loopback of a
// network namespace of the test's own, named by a resolv.conf mounted over
// the system's in a mount namespace of its own; the resolver is told to wait
// 30 s a try. Run in a child process, so the namespaces end with it; the
// child exits with the lookup it left still running.
#include <gtest/gtest.h>

#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "platform/comm/net/tcp_socket.h"

namespace {

using namespace comm::net;

// ThreadSanitizer ends a child forked from a threaded process once it starts
// a thread, as the lookup does; every connect of the other tests runs the
// lookup's thread under it.
#if defined(__SANITIZE_THREAD__)
constexpr bool kForkedChildMayStartThreads = false;
#elif defined(__has_feature)
constexpr bool kForkedChildMayStartThreads = !__has_feature(thread_sanitizer);
#else
constexpr bool kForkedChildMayStartThreads = true;
#endif

enum ChildResult { kTimedOutInTime = 0, kWrongResult = 1, kTooLate = 2, kNoNamespace = 3 };

bool LoopbackUp() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
    const bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags |= IFF_UP) &&
                    ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up;
}

// A name server that takes queries and never answers; its descriptor.
int DeafNameServer() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(53);
    return bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

ChildResult LookUpWithADeafNameServer(const std::string& resolvConf) {
    if (unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(resolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0 || !LoopbackUp() ||
        DeafNameServer() < 0)
        return kNoNamespace;
    const auto start = Clock::now();
    const Connection connection = ConnectTcp({NetAddress::Protocol::RawTcp, "port-server.zandrel-test", "2217"},
                                             start + std::chrono::seconds(1));
    if (Clock::now() - start > std::chrono::seconds(3)) return kTooLate;
    return connection.fd < 0 && connection.error == ERROR_TIMEOUT && connection.reason == "timed out" ? kTimedOutInTime
                                                                                                       : kWrongResult;
}

TEST(HostLookup, ANameServerThatNeverAnswersEndsTheConnectAtItsDeadlineAsTimedOut) {
    if (!kForkedChildMayStartThreads) GTEST_SKIP() << "a forked child cannot start threads under ThreadSanitizer";
    const std::string resolvConf = testing::TempDir() + "zandrel-deaf-resolv.conf";
    std::ofstream(resolvConf) << "nameserver 127.0.0.1\noptions timeout:30 attempts:2\n";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(10);  // a lookup held past the deadline ends the child here, not the test run
        // The lookup left behind still waits for the name server: exit as a process does.
        std::exit(LookUpWithADeafNameServer(resolvConf));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::remove(resolvConf.c_str());
    ASSERT_FALSE(WIFSIGNALED(status)) << "the lookup held the connect for 10 s";
    if (WEXITSTATUS(status) == kNoNamespace) GTEST_SKIP() << "no network and mount namespace could be made (needs root)";
    EXPECT_NE(WEXITSTATUS(status), kTooLate) << "the lookup held the connect past its deadline";
    EXPECT_EQ(WEXITSTATUS(status), kTimedOutInTime);
}

}  // namespace
