// What each port server said it is (RFC 2217's SIGNATURE), kept for the
// process by the address it was opened at, so that a port's description can
// show it. As sent: make it visible before showing it.
#pragma once

#include <string>

namespace comm::net {

void RememberSignature(const std::string& address, const std::string& signature);
// Empty when the server at address has told none.
std::string SignatureOf(const std::string& address);

}  // namespace comm::net
