#include "platform/comm/net/server_signature.h"

#include <map>
#include <mutex>

namespace comm::net {
namespace {

std::mutex g_lock;
std::map<std::string, std::string> g_signatures;

}  // namespace

void RememberSignature(const std::string& address, const std::string& signature) {
    std::lock_guard held(g_lock);
    g_signatures[address] = signature;
}

std::string SignatureOf(const std::string& address) {
    std::lock_guard held(g_lock);
    auto found = g_signatures.find(address);
    return found == g_signatures.end() ? std::string() : found->second;
}

}  // namespace comm::net
