// A port server's line under a device, over its connection
// (server_connection.h): data through the Telnet framing, the
// line settings as RFC 2217 requests, the server's notifications as the line
// errors and events a local port gives. Flow control is the server's, on its
// own tty; here output waits while the server asks to suspend it and while
// the socket takes nothing.
#pragma once

#include <memory>

#include "platform/comm/line.h"
#include "platform/comm/net/server_connection.h"

namespace comm::net {

class NetworkLine final : public Line {
public:
    // Connects, negotiates and reads the server's settings, within
    // kServerTimeout; nothing with result saying why.
    static std::unique_ptr<NetworkLine> Open(const NetAddress& address, LineResult& result);

    int Descriptor() const override { return m_connection->Descriptor(); }
    bool HasInput() const override { return !m_pending.empty() || m_connection->HasInput(); }
    LineInput Read(BYTE* buffer, size_t room) override;
    ssize_t Write(const BYTE* data, size_t length) override;
    DCB CurrentDcb() override { return m_dcb; }
    DWORD ApplyDcb(const DCB& asked, const DCB& kept, std::string& reason) override;
    DWORD InputHeld() const override { return static_cast<DWORD>(m_pending.size()); }
    DWORD OutputHeld() const override { return m_connection->Unsent(); }
    DWORD OutputLostAtHangUp() const override { return m_connection->Unacknowledged(); }
    void Purge(bool input, bool output) override;
    // The server's own tty sends XOFF when its buffer fills, which it does
    // once this side stops reading the socket.
    bool SendFlowChar(bool) override { return true; }
    // The server holds output on its modem lines itself.
    int ModemLines() const override { return ~0; }
    bool OutputSuspended() const override { return m_connection->Suspended(); }
    void FollowLatency(bool) override {}
    bool CountsLosses() const override { return false; }
    void TakeCounts(LineInput&) override {}
    std::string CloseKey() const override { return m_connection->Address(); }
    std::string Name() const override { return m_connection->Address(); }
    DWORD ProviderSubType() const override { return PST_TCPIP_TELNET; }
    Clock::duration CloseAllowance(bool, Clock::duration) const override;
    void KeepAfterHangUp() override {}
    // What the socket holds goes on to the server after the close; the
    // settings are the server's to keep.
    void Close(bool, Clock::duration, const LineBacklog&) override { m_connection.reset(); }

private:
    NetworkLine(std::unique_ptr<ServerConnection> connection, const DCB& dcb)
        : m_connection(std::move(connection)), m_dcb(dcb) {}
    // Once the connection has ended, tells the server watch (once).
    void NoteEnd();

    std::unique_ptr<ServerConnection> m_connection;
    DCB m_dcb;
    Bytes m_pending;  // received and not yet read: the device's queue had no room
    bool m_lostTold = false;  // the connection's end was told to the server watch
};

}  // namespace comm::net
