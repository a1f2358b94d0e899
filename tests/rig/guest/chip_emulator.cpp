// Runs inside the rig's guest: plays a USB-serial chip (CH340, CP2102, PL2303
// or a CDC ACM device) through FunctionFS, so that the kernel's own driver
// (ch341, cp210x, pl2303, cdc-acm) binds to it. Every control request the driver sends is answered as
// the chip would and written to LOG, one line each, with what it set decoded:
//   request TYPE REQ VALUE INDEX LENGTH [data HEX] [reply HEX]
//   frame BAUD BITS PARITY STOP   (DCB codes: parity 0..4 NOEMS, stop 0..2 for 1, 1.5, 2)
//   modem DTR RTS                 break ON                plugged / pulled
//   flow rtscts ON                (cp210x SET_FLOW, pl2303 register 0)
// The bulk endpoints are the far end of the line: what the host sends goes
// through the chip's transmit buffer, leaves it at the line's rate (logged
// "sent BAUD" for each byte, the rate in force as it left) and is appended to
// RECEIVED; what is written into the FIFO SEND goes to the host. A line
// "hang" written into the FIFO COMMANDS stops the answers to control requests
// (the firmware hangs: each of the driver's requests runs into its time-out),
// "answer" starts them again. The far end's CTS and DSR are set by lines
// "cts 0", "dsr 1" written into the FIFO LINES (both on at the start). As the
// real chips do, the CP2102 and the PL2303 hold their transmitter while CTS is
// off and CTS handshake is on: what the buffer holds then waits there.
// "dtrgate 1" makes the device one of the many CDC firmwares that send only
// while the host holds DTR on: what SEND gives then waits for DTR (as set by
// SET_CONTROL_LINE_STATE).
//   usage: chip_emulator ch341|cp210x|pl2303|cdc-acm FFS_DIR LOG RECEIVED SEND COMMANDS LINES
#include <fcntl.h>
#include <poll.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kBulk = USB_ENDPOINT_XFER_BULK;
constexpr uint8_t kInterrupt = USB_ENDPOINT_XFER_INT;
constexpr size_t kFullSpeedBulk = 64;

struct Endpoint {
    uint8_t address;
    uint8_t type;
    uint16_t maxPacket;
};

int logFd = -1;

void Log(const std::string& line) {
    std::string text = line + "\n";
    if (write(logFd, text.data(), text.size()) < 0) std::perror("chip_emulator: log");
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char pair[3];
    for (uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

// The line as last programmed, for the transmitter: the rate, and a
// character's length in half bits (start, data, parity, stop).
std::atomic<unsigned> lineBaud{9600};
std::atomic<unsigned> characterHalfBits{20};

void LogFrame(unsigned baud, unsigned bits, unsigned parity, unsigned stop) {
    lineBaud = baud ? baud : 1;
    characterHalfBits = 2 * (1 + bits + (parity ? 1 : 0)) + (stop == 1 ? 3 : stop == 2 ? 4 : 2);
    Log("frame " + std::to_string(baud) + " " + std::to_string(bits) + " " + std::to_string(parity) + " " +
        std::to_string(stop));
}

void LogModem(bool dtr, bool rts) { Log(std::string("modem ") + (dtr ? "1 " : "0 ") + (rts ? "1" : "0")); }

// The far end's status lines and whether the chip gates its transmitter on
// CTS, and the host's DTR where the device sends only while it is on; set
// by the control and lines threads, waited on by bulk OUT and bulk IN.
class Lines {
public:
    void SetCtsHandshake(bool on) {
        {
            std::lock_guard lock(lock_);
            if (ctsHandshake_ == on) return;
            ctsHandshake_ = on;
        }
        Log(std::string("flow rtscts ") + (on ? "1" : "0"));
        changed_.notify_all();
    }
    void Set(bool cts, bool dsr) {
        std::lock_guard lock(lock_);
        cts_ = cts;
        dsr_ = dsr;
        changed_.notify_all();
    }
    bool Cts() const {
        std::lock_guard lock(lock_);
        return cts_;
    }
    bool Dsr() const {
        std::lock_guard lock(lock_);
        return dsr_;
    }
    // Until the transmitter may send.
    void WaitUntilSending() {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return cts_ || !ctsHandshake_; });
    }
    void SetDtr(bool dtr) {
        std::lock_guard lock(lock_);
        dtr_ = dtr;
        changed_.notify_all();
    }
    void SetDtrGate(bool on) {
        std::lock_guard lock(lock_);
        dtrGate_ = on;
        changed_.notify_all();
    }
    // Until the device may send to the host.
    void WaitUntilHostListens() {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return dtr_ || !dtrGate_; });
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool cts_ = true;
    bool dsr_ = true;
    bool ctsHandshake_ = false;
    bool dtr_ = false;
    bool dtrGate_ = false;
};

Lines lines;

uint32_t LittleEndian(const Bytes& data, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count && at + i < data.size(); ++i) value |= uint32_t{data[at + i]} << (8 * i);
    return value;
}

// The chip's transmit buffer: bulk OUT is taken only while a whole packet
// fits (the real chip NAKs it otherwise), and each byte leaves at the line's
// current rate.
class Transmitter {
public:
    explicit Transmitter(size_t capacity) : capacity_(capacity) {}

    // Waits until a packet fits; the room there is then.
    size_t Room() {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return capacity_ - bytes_.size() >= kFullSpeedBulk; });
        return capacity_ - bytes_.size();
    }

    void Take(const uint8_t* data, size_t count) {
        std::lock_guard lock(lock_);
        bytes_.insert(bytes_.end(), data, data + count);
        changed_.notify_all();
    }

    size_t Held() {
        std::lock_guard lock(lock_);
        return bytes_.size();
    }

    // On a thread of its own: each byte on a grid of character times that
    // starts again when the buffer was empty.
    void Send(int received) {
        auto next = std::chrono::steady_clock::now();
        for (;;) {
            uint8_t byte;
            {
                std::unique_lock lock(lock_);
                if (bytes_.empty()) {
                    changed_.wait(lock, [this] { return !bytes_.empty(); });
                    next = std::chrono::steady_clock::now();
                }
                byte = bytes_.front();  // counted as held until it has left
            }
            lines.WaitUntilSending();  // CTS gates the transmitter, not what the host may send
            next += std::chrono::nanoseconds(500'000'000ull * characterHalfBits / lineBaud);
            std::this_thread::sleep_until(next);
            {
                std::lock_guard lock(lock_);
                bytes_.pop_front();
                changed_.notify_all();
            }
            Log("sent " + std::to_string(lineBaud));
            if (write(received, &byte, 1) != 1) Log(std::string("received file: ") + std::strerror(errno));
        }
    }

private:
    const size_t capacity_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<uint8_t> bytes_;
};

Transmitter* transmitter = nullptr;

// One chip's protocol. In answers an IN request (false: stall it), Out takes
// an OUT request with its data stage; ToHost prepares data for bulk IN.
class Chip {
public:
    virtual ~Chip() = default;
    virtual bool In(const usb_ctrlrequest& setup, Bytes& reply) = 0;
    virtual void Out(const usb_ctrlrequest& setup, const Bytes& data) = 0;
    virtual Bytes ToHost(const Bytes& data) { return data; }
    // The interrupt IN packet that reports the status lines; empty where the
    // chip reports them otherwise.
    virtual Bytes LineStatus(bool, bool) { return {}; }
};

// The CH340: a register file written and read in pairs (value and index
// carry two register numbers and their two bytes).
class Ch340 : public Chip {
public:
    Ch340() { registers_[0x06] = registers_[0x07] = 0xFF; }  // modem status, inverted: all lines off

    bool In(const usb_ctrlrequest& setup, Bytes& reply) override {
        switch (setup.bRequest) {
            case 0x5F: reply = {0x31, 0x00}; return true;  // version: line control in register 0x18
            case 0x95: reply = {registers_[setup.wValue & 0xFF], registers_[setup.wValue >> 8]}; return true;
            default: return false;
        }
    }

    void Out(const usb_ctrlrequest& setup, const Bytes&) override {
        if (setup.bRequest == 0xA4) {  // modem control, inverted
            LogModem(!(setup.wValue & 0x20), !(setup.wValue & 0x40));
        } else if (setup.bRequest == 0x9A) {
            uint8_t first = setup.wValue & 0xFF, second = setup.wValue >> 8;
            registers_[first] = setup.wIndex & 0xFF;
            registers_[second] = setup.wIndex >> 8;
            if (first == 0x05) Log(std::string("break ") + (registers_[0x05] & 0x01 ? "0" : "1"));
            else if (first == 0x18 || second == 0x18) LogLine();
        }
    }

private:
    void LogLine() {
        unsigned prescaler = registers_[0x12] & 0x03, fact = (registers_[0x12] >> 2) & 0x01;
        unsigned divisor = 256u - registers_[0x13];
        unsigned baud = 48000000u / ((1u << (12 - 3 * prescaler - fact)) * divisor);
        uint8_t lcr = registers_[0x18];
        unsigned parity = lcr & 0x08 ? ((lcr >> 4) & 0x03) + 1 : 0;
        LogFrame(baud, (lcr & 0x03) + 5, parity, lcr & 0x04 ? 2 : 0);  // the chip has no 1.5 stop bits
    }

    uint8_t registers_[256] = {};
};

// The CP2102: each SET is kept for its GET. In event-insertion mode the chip
// escapes its escape character in the data it sends.
class Cp2102 : public Chip {
public:
    bool In(const usb_ctrlrequest& setup, Bytes& reply) override {
        switch (setup.bRequest) {
            case 0xFF:  // vendor: the part number, two bytes as a genuine chip answers
                reply.assign(setup.wLength, 0);
                if (setup.wValue == 0x370B && !reply.empty()) reply[0] = 0x02;
                return true;
            case 0x04: reply = {uint8_t(lineControl_), uint8_t(lineControl_ >> 8)}; return true;
            case 0x08: reply = {uint8_t(modem_ | (lines.Cts() ? 0x10 : 0) | (lines.Dsr() ? 0x20 : 0))}; return true;
            case 0x10:  // comm status: what waits to be sent, at ulAmountInOutQueue (cp210x's tcdrain waits on it)
                reply.assign(19, 0);
                for (size_t i = 0, held = transmitter->Held(); i < 4; ++i) reply[12 + i] = uint8_t(held >> (8 * i));
                return true;
            case 0x14: reply = flow_; return true;
            case 0x1A: reply = chars_; return true;
            case 0x1D: reply = baud_; return true;
            default: reply.assign(setup.wLength, 0); return true;
        }
    }

    void Out(const usb_ctrlrequest& setup, const Bytes& data) override {
        switch (setup.bRequest) {
            case 0x03: lineControl_ = setup.wValue; LogLine(); break;
            case 0x1E: baud_ = data; LogLine(); break;
            case 0x05: Log(std::string("break ") + (setup.wValue ? "1" : "0")); break;
            case 0x07:  // modem lines: bits 0-1 DTR, RTS; bits 8-9 which of them to set
                if (setup.wValue & 0x0100) modem_ = (modem_ & ~1u) | (setup.wValue & 1u);
                if (setup.wValue & 0x0200) modem_ = (modem_ & ~2u) | (setup.wValue & 2u);
                LogModem(modem_ & 1u, modem_ & 2u);
                break;
            case 0x13:  // ulControlHandshake bit 3: CTS handshake
                flow_ = data;
                lines.SetCtsHandshake(LittleEndian(data, 0, 4) & 0x08);
                break;
            case 0x15: escape_ = setup.wValue & 0xFF; break;
            case 0x19: chars_ = data; break;
            default: break;
        }
    }

    Bytes ToHost(const Bytes& data) override {
        if (escape_ == 0) return data;
        Bytes escaped;
        for (uint8_t byte : data) {
            escaped.push_back(byte);
            if (byte == escape_) escaped.push_back(0x00);
        }
        return escaped;
    }

private:
    void LogLine() {
        LogFrame(LittleEndian(baud_, 0, 4), (lineControl_ >> 8) & 0xFF, (lineControl_ >> 4) & 0x0F,
                 lineControl_ & 0x0F);
    }

    uint16_t lineControl_ = 0x0800;
    unsigned modem_ = 0;
    std::atomic<uint8_t> escape_{0};  // set by requests, read by the bulk IN thread
    Bytes baud_ = {0x80, 0x25, 0x00, 0x00};
    Bytes flow_ = Bytes(16, 0);
    Bytes chars_ = Bytes(6, 0);
};

// CDC ACM's class requests, which the PL2303 takes too (as the TA type, with
// rates outside its table as a divisor, 12 MHz * 32 / (mantissa << exponent)).
class LineRequests : public Chip {
public:
    explicit LineRequests(bool divisors) : divisors_(divisors) {}

    bool In(const usb_ctrlrequest& setup, Bytes& reply) override {
        if (setup.bRequest == 0x21) reply = line_;
        else reply.assign(setup.wLength, 0);  // vendor reads
        return true;
    }

    void Out(const usb_ctrlrequest& setup, const Bytes& data) override {
        if (setup.bRequest == 0x20 && data.size() == 7) {
            line_ = data;
            uint32_t rate = LittleEndian(data, 0, 4);
            LogFrame(divisors_ ? Baud(rate) : rate, data[6], data[5], data[4]);
        } else if (setup.bRequest == 0x22) {
            LogModem(setup.wValue & 1, setup.wValue & 2);
            lines.SetDtr(setup.wValue & 1);
        } else if (setup.bRequest == 0x23) {
            Log(std::string("break ") + (setup.wValue ? "1" : "0"));
        }
    }

private:
    static unsigned Baud(uint32_t word) {
        if (!(word & 0x80000000u)) return word;
        unsigned mantissa = word & 0x7FF;
        unsigned exponent = ((word >> 13) & 0x7) << 1 | ((word >> 16) & 1);
        return mantissa ? (12000000u * 32 / mantissa) >> exponent : 0;
    }

    const bool divisors_;
    Bytes line_ = {0x80, 0x25, 0x00, 0x00, 0x00, 0x00, 0x08};
};

// The PL2303 (TA): CDC's line requests, and vendor register 0, whose bits
// 5-6 turn on CTS handshake; its status lines come on interrupt IN.
class Pl2303 : public LineRequests {
public:
    Pl2303() : LineRequests(true) {}

    bool In(const usb_ctrlrequest& setup, Bytes& reply) override {
        if (setup.bRequestType != 0xC0 || setup.bRequest != 0x01 || setup.wValue != 0x80)
            return LineRequests::In(setup, reply);
        reply = {register0_};
        return true;
    }

    void Out(const usb_ctrlrequest& setup, const Bytes& data) override {
        if (setup.bRequestType != 0x40 || setup.bRequest != 0x01 || setup.wValue != 0x00)
            return LineRequests::Out(setup, data);
        register0_ = static_cast<uint8_t>(setup.wIndex);
        lines.SetCtsHandshake((register0_ & 0x60) == 0x60);
    }

    // UART state in byte 8: DSR 0x02, CTS 0x80.
    Bytes LineStatus(bool cts, bool dsr) override {
        Bytes packet(10, 0);
        packet[8] = static_cast<uint8_t>((cts ? 0x80 : 0) | (dsr ? 0x02 : 0));
        return packet;
    }

private:
    uint8_t register0_ = 0;
};

struct ChipKind {
    const char* name;
    std::vector<Endpoint> endpoints;  // in the order of their ep1.. files
    // What the chip holds to send: the CP2102's 640 and the PL2303's 256 bytes; the
    // CH340's figure is not published, and an ACM device's is its own: as the program allows.
    size_t transmitBuffer;
    Chip* (*make)();
    uint8_t interfaceClass = USB_CLASS_VENDOR_SPEC;
    uint8_t interfaceSubClass = 0;
    uint8_t interfaceProtocol = 0;
};

const ChipKind kChips[] = {
    {"ch341", {{0x81, kBulk, kFullSpeedBulk}, {0x02, kBulk, kFullSpeedBulk}, {0x83, kInterrupt, 8}}, 128,
     [] { return static_cast<Chip*>(new Ch340); }},
    {"cp210x", {{0x81, kBulk, kFullSpeedBulk}, {0x02, kBulk, kFullSpeedBulk}}, 640,
     [] { return static_cast<Chip*>(new Cp2102); }},
    {"pl2303", {{0x81, kInterrupt, 10}, {0x02, kBulk, kFullSpeedBulk}, {0x83, kBulk, kFullSpeedBulk}}, 256,
     [] { return static_cast<Chip*>(new Pl2303); }},
    // One interface with all three endpoints, as some devices have: FunctionFS
    // takes no CDC functional descriptors, and without a union descriptor
    // cdc-acm looks for the endpoints in the one interface.
    {"cdc-acm", {{0x81, kInterrupt, 16}, {0x82, kBulk, kFullSpeedBulk}, {0x03, kBulk, kFullSpeedBulk}}, 64,
     [] { return static_cast<Chip*>(new LineRequests(false)); }, USB_CLASS_COMM, 2, 1},
};

void Append(Bytes& out, const void* data, size_t size) {
    auto bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

// FunctionFS's descriptors: one vendor interface, full and high speed, with
// every control request passed on (the drivers address theirs to the device).
Bytes Descriptors(const ChipKind& kind) {
    const std::vector<Endpoint>& endpoints = kind.endpoints;
    const bool communications = kind.interfaceClass == USB_CLASS_COMM;
    Bytes speeds;
    for (uint16_t bulkSize : {uint16_t{kFullSpeedBulk}, uint16_t{512}}) {
        usb_interface_descriptor interface{};
        interface.bLength = USB_DT_INTERFACE_SIZE;
        interface.bDescriptorType = USB_DT_INTERFACE;
        interface.bNumEndpoints = static_cast<uint8_t>(endpoints.size());
        interface.bInterfaceClass = kind.interfaceClass;
        interface.bInterfaceSubClass = kind.interfaceSubClass;
        interface.bInterfaceProtocol = kind.interfaceProtocol;
        Append(speeds, &interface, USB_DT_INTERFACE_SIZE);
        if (communications) {
            // cdc-acm wants some descriptor after the interface's own; an OTG
            // one (no OTG features) is one FunctionFS takes and hosts pass over.
            usb_otg_descriptor otg{};
            otg.bLength = sizeof otg;
            otg.bDescriptorType = USB_DT_OTG;
            Append(speeds, &otg, sizeof otg);
        }
        for (const Endpoint& endpoint : endpoints) {
            usb_endpoint_descriptor_no_audio descriptor{};
            descriptor.bLength = USB_DT_ENDPOINT_SIZE;
            descriptor.bDescriptorType = USB_DT_ENDPOINT;
            descriptor.bEndpointAddress = endpoint.address;
            descriptor.bmAttributes = endpoint.type;
            descriptor.wMaxPacketSize = endpoint.type == kBulk ? bulkSize : endpoint.maxPacket;
            descriptor.bInterval = endpoint.type == kInterrupt ? 1 : 0;
            Append(speeds, &descriptor, USB_DT_ENDPOINT_SIZE);
        }
    }
    usb_functionfs_descs_head_v2 head{};
    head.magic = FUNCTIONFS_DESCRIPTORS_MAGIC_V2;
    head.flags = FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC | FUNCTIONFS_ALL_CTRL_RECIP;
    uint32_t count = static_cast<uint32_t>(endpoints.size() + (communications ? 2 : 1));
    Bytes all;
    Append(all, &head, sizeof head);
    Append(all, &count, sizeof count);
    Append(all, &count, sizeof count);
    all.insert(all.end(), speeds.begin(), speeds.end());
    uint32_t length = static_cast<uint32_t>(all.size());
    std::memcpy(all.data() + offsetof(usb_functionfs_descs_head_v2, length), &length, sizeof length);
    return all;
}

bool WriteAll(int fd, const Bytes& data) {
    return write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

bool Interrupted(ssize_t result) {
    return result < 0 && (errno == EINTR || errno == ESHUTDOWN || errno == ECONNRESET);
}

// Bulk OUT: what the host sends goes into the transmit buffer, read only
// while a packet fits there. A pull ends the transfer under way; the next read
// waits until the function is enabled again.
void Receive(int endpoint) {
    uint8_t buffer[4096];
    for (;;) {
        const size_t room = std::min(transmitter->Room(), sizeof buffer) / kFullSpeedBulk * kFullSpeedBulk;
        ssize_t count = read(endpoint, buffer, room);
        if (Interrupted(count)) continue;
        if (count < 0) {
            Log(std::string("bulk out failed: ") + std::strerror(errno));
            return;
        }
        transmitter->Take(buffer, static_cast<size_t>(count));
    }
}

// Bulk IN: what the test writes into the FIFO goes to the host. Data a pull
// cut off is dropped, as a chip that loses power drops its buffer.
void Send(int endpoint, int fifo, Chip& chip) {
    uint8_t buffer[kFullSpeedBulk];
    for (;;) {
        ssize_t count = read(fifo, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            Log("send fifo closed");
            return;
        }
        lines.WaitUntilHostListens();
        Bytes data = chip.ToHost(Bytes(buffer, buffer + count));
        ssize_t written = write(endpoint, data.data(), data.size());
        if (written != static_cast<ssize_t>(data.size()))
            Log("dropped " + std::to_string(data.size()) + " bytes: " + std::strerror(errno));
    }
}

// The far end's status lines: "cts 0", "dsr 1" from the FIFO, each logged and
// reported to the host on the interrupt endpoint where the chip does so.
void FollowLines(int fifo, int interrupt, Chip& chip) {
    FILE* commands = fdopen(fifo, "r");
    char text[64];
    while (commands && std::fgets(text, sizeof text, commands)) {
        char name[8];
        int on = 0;
        if (std::sscanf(text, "%7s %d", name, &on) != 2) continue;
        std::string line = name;
        if (line == "dtrgate") {
            lines.SetDtrGate(on != 0);
            Log(std::string("dtrgate ") + (on ? "1" : "0"));
            continue;
        }
        bool cts = line == "cts" ? on != 0 : lines.Cts();
        bool dsr = line == "dsr" ? on != 0 : lines.Dsr();
        lines.Set(cts, dsr);
        Log(std::string("lines cts ") + (cts ? "1" : "0") + " dsr " + (dsr ? "1" : "0"));
        Bytes status = chip.LineStatus(cts, dsr);
        if (!status.empty() && interrupt >= 0 && !WriteAll(interrupt, status))
            Log(std::string("line status not sent: ") + std::strerror(errno));
    }
    Log("lines fifo closed");
}

void Answer(int ep0, Chip& chip, const usb_ctrlrequest& setup) {
    char head[64];
    std::snprintf(head, sizeof head, "request %02x %02x %04x %04x %u", setup.bRequestType, setup.bRequest,
                  setup.wValue, setup.wIndex, setup.wLength);
    if (setup.bRequestType & USB_DIR_IN) {
        Bytes reply;
        if (!chip.In(setup, reply)) {
            Log(std::string(head) + " stalled");
            if (read(ep0, nullptr, 0) < 0 && errno != EL2HLT) std::perror("chip_emulator: stall");
            return;
        }
        if (reply.size() > setup.wLength) reply.resize(setup.wLength);
        Log(std::string(head) + " reply " + Hex(reply));
        if (write(ep0, reply.data(), reply.size()) < 0) Log(std::string("reply failed: ") + std::strerror(errno));
        return;
    }
    Bytes data(setup.wLength);
    ssize_t count = read(ep0, data.data(), data.size());
    if (count < 0) {
        Log(std::string(head) + " data stage failed: " + std::strerror(errno));
        return;
    }
    data.resize(static_cast<size_t>(count));
    Log(std::string(head) + (data.empty() ? "" : " data " + Hex(data)));
    chip.Out(setup, data);
}

int Open(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) std::fprintf(stderr, "chip_emulator: %s: %s\n", path.c_str(), std::strerror(errno));
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s ch341|cp210x|pl2303|cdc-acm FFS_DIR LOG RECEIVED SEND COMMANDS LINES\n", argv[0]);
        return 2;
    }
    const ChipKind* kind = nullptr;
    for (const ChipKind& candidate : kChips)
        if (std::strcmp(candidate.name, argv[1]) == 0) kind = &candidate;
    if (!kind) {
        std::fprintf(stderr, "chip_emulator: no chip %s\n", argv[1]);
        return 2;
    }
    std::string dir = argv[2];
    logFd = Open(argv[3], O_WRONLY | O_NOCTTY | O_APPEND);
    int received = Open(argv[4], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND);
    int fifo = Open(argv[5], O_RDWR);  // a writer of our own: the test's writers come and go
    int commands = Open(argv[6], O_RDWR);  // as SEND: a writer of our own
    int lineFifo = Open(argv[7], O_RDWR);
    int ep0 = Open(dir + "/ep0", O_RDWR);
    if (logFd < 0 || received < 0 || fifo < 0 || commands < 0 || lineFifo < 0 || ep0 < 0) return 1;

    usb_functionfs_strings_head strings{};
    strings.magic = FUNCTIONFS_STRINGS_MAGIC;
    strings.length = sizeof strings;
    Bytes noStrings;
    Append(noStrings, &strings, sizeof strings);
    if (!WriteAll(ep0, Descriptors(*kind)) || !WriteAll(ep0, noStrings)) {
        std::fprintf(stderr, "chip_emulator: FunctionFS took no descriptors: %s\n", std::strerror(errno));
        return 1;
    }
    Chip* chip = kind->make();
    int bulkIn = -1, bulkOut = -1, interrupt = -1;
    for (size_t i = 0; i < kind->endpoints.size(); ++i) {
        const Endpoint& endpoint = kind->endpoints[i];
        int fd = Open(dir + "/ep" + std::to_string(i + 1), endpoint.address & USB_DIR_IN ? O_WRONLY : O_RDONLY);
        if (fd < 0) return 1;
        if (endpoint.type == kInterrupt) interrupt = fd;
        else (endpoint.address & USB_DIR_IN ? bulkIn : bulkOut) = fd;
    }
    // All run as long as the process: the rig ends the guest, not the chip.
    transmitter = new Transmitter(kind->transmitBuffer);
    std::thread(&Transmitter::Send, transmitter, received).detach();
    std::thread(Receive, bulkOut).detach();
    std::thread(Send, bulkIn, fifo, std::ref(*chip)).detach();
    std::thread(FollowLines, lineFifo, interrupt, std::ref(*chip)).detach();

    bool hung = false;
    for (;;) {
        // While hung, ep0 is not read: the driver's requests wait for answers that do not come.
        pollfd ready[2] = {{commands, POLLIN, 0}, {hung ? -1 : ep0, POLLIN, 0}};
        if (poll(ready, 2, -1) < 0) continue;  // EINTR
        if (ready[0].revents & POLLIN) {
            char command[64];
            ssize_t length = read(commands, command, sizeof command - 1);
            command[std::max<ssize_t>(length, 0)] = '\0';
            hung = std::strncmp(command, "hang", 4) == 0;
            Log(hung ? "hung" : "answering");
            continue;
        }
        usb_functionfs_event event;
        ssize_t count = read(ep0, &event, sizeof event);
        if (count < 0 && errno == EINTR) continue;
        if (count != sizeof event) {
            std::fprintf(stderr, "chip_emulator: ep0: %s\n", count < 0 ? std::strerror(errno) : "short event");
            return 1;
        }
        switch (event.type) {
            case FUNCTIONFS_SETUP: Answer(ep0, *chip, event.u.setup); break;
            case FUNCTIONFS_ENABLE: Log("plugged"); break;
            case FUNCTIONFS_DISABLE: Log("pulled"); break;
            default: break;
        }
    }
}
