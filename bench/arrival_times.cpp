// Arrival times on a pseudo-terminal, with the real dialog code on the real
// clock. Stamps: the far end writes 62-byte packets 5 ms apart, stamping each
// on the wall clock just before its write; each packet's record time in the
// capture's _time companion against that stamp. Replay: that capture written
// to a second pseudo-terminal with arrival times on; each record's first byte
// at the far end against its recorded offset from the first record, and the
// drift between the first and the last tenth of the recording.
//
//   bench_arrival_times [seconds]   (10 by default; 600 for the drift over ten minutes)
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/framework/headless/headless.h"
#include "raw_peer.h"
#include "transfer/arrival_schedule.h"
#include "ui/zandrel_dlg.h"

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
constexpr size_t PACKET = 62;
constexpr auto PERIOD = std::chrono::milliseconds(5);

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long long SteadyMicros(Steady::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// p50 and p99 of the absolute values, in microseconds.
void Report(const char* what, std::vector<long long> errors) {
    if (errors.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    for (long long& e : errors) e = std::llabs(e);
    std::sort(errors.begin(), errors.end());
    auto at = [&](double q) { return errors[std::min(errors.size() - 1, static_cast<size_t>(q * errors.size()))]; };
    std::printf("%s: %zu samples, p50 %lld us, p99 %lld us, max %lld us\n", what, errors.size(), at(0.50), at(0.99),
                errors.back());
}

struct DataRow {
    unsigned long long offset;
    long long micros;
};

std::vector<DataRow> DataRows(const std::string& text) {
    std::vector<DataRow> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        const size_t a = line.find(','), b = line.find(',', a + 1), c = line.find(',', b + 1);
        if (c == std::string::npos || c + 1 != line.size()) continue;  // an event
        long long micros = 0;
        if (ParseUtcText(line.substr(0, a), micros)) rows.push_back({std::stoull(line.substr(a + 1, b - a - 1)), micros});
    }
    return rows;
}

struct Dialog {
    CZandrelDlg dlg;
    explicit Dialog(int com) {
        headless::Create(dlg);
        headless::RunUntilIdle();
        headless::Type(dlg, IDC_COM_PORT, ("COM" + std::to_string(com)).c_str());
        headless::Click(dlg, IDC_ARRIVAL_TIMES);
    }
    ~Dialog() {
        headless::Click(dlg, IDC_STOP);
        headless::Destroy(dlg);
    }
};

// Captures `packets` packets; returns the error of each packet's record time, and fills the capture.
std::vector<long long> Capture(const fs::path& file, int packets) {
    testsupport::Pty pty;
    pty.MapAs(7);
    pty.MakeRaw();
    Dialog d(7);
    headless::Type(d.dlg, IDC_CAPTURE_FILE, file.c_str());
    headless::Click(d.dlg, IDC_CAPTURE_TO_FILE);

    std::vector<long long> sentMicros(packets);
    std::atomic<bool> sent = false;
    std::thread sender([&] {
        // The far end's wall clock, as the capture keeps its own: real time once, then the monotonic clock.
        const auto wall0 = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
        const Steady::time_point steady0 = Steady::now();
        std::string packet(PACKET, 'x');
        for (int i = 0; i < packets; ++i) {
            std::this_thread::sleep_until(steady0 + (i + 1) * PERIOD);
            const Steady::time_point now = Steady::now();
            sentMicros[i] = wall0 + SteadyMicros(now) - SteadyMicros(steady0);
            packet[0] = static_cast<char>(i);
            pty.Send(packet);
        }
        sent = true;
    });
    const size_t total = static_cast<size_t>(packets) * PACKET;
    headless::DispatchUntil(
        [&] {
            std::error_code ec;
            return sent && fs::file_size(file, ec) >= total;
        },
        static_cast<DWORD>(packets) * 5 + 10000);
    sender.join();
    headless::Click(d.dlg, IDC_STOP);

    std::vector<long long> errors;
    for (const DataRow& row : DataRows(ReadAll(fs::path(file).replace_filename(file.stem().string() + "_time.txt"))))
        if (row.offset % PACKET == 0 && row.offset / PACKET < sentMicros.size())
            errors.push_back(row.micros - sentMicros[row.offset / PACKET]);
    return errors;
}

// Replays the capture; returns each record's error against its schedule, and the drift.
std::vector<long long> Replay(const fs::path& file, long long& drift) {
    std::string why;
    std::vector<ReplayRecord> records;
    const std::string text = ReadAll(fs::path(file).replace_filename(file.stem().string() + "_time.txt"));
    if (!ParseReplaySchedule(text, "companion", fs::file_size(file), records, why)) {
        std::fprintf(stderr, "cannot replay: %s\n", why.c_str());
        std::exit(1);
    }
    testsupport::Pty pty;
    pty.MapAs(8);
    pty.MakeRaw();
    Dialog d(8);
    headless::Type(d.dlg, IDC_SEND_FILE, file.c_str());
    if (headless::ControlChecked(d.dlg, IDC_LOOP)) headless::Click(d.dlg, IDC_LOOP);

    const size_t total = fs::file_size(file);
    std::vector<std::pair<size_t, Steady::time_point>> chunks;  // offset of the chunk's first byte, when read
    std::atomic<bool> done = false;
    std::thread reader([&] {
        size_t got = 0;
        char buffer[4096];
        pollfd fd{pty.Master(), POLLIN, 0};
        while (got < total && poll(&fd, 1, 20000) > 0) {
            const ssize_t n = ::read(pty.Master(), buffer, sizeof buffer);
            if (n <= 0) break;
            chunks.emplace_back(got, Steady::now());
            got += static_cast<size_t>(n);
        }
        done = true;
    });
    headless::Click(d.dlg, IDC_WRITE_TO_PORT);
    headless::DispatchUntil([&] { return done.load(); },
                            static_cast<DWORD>(records.empty() ? 0 : records.back().nMicros / 1000) + 20000);
    reader.join();

    std::vector<long long> errors;
    size_t c = 0;
    for (const ReplayRecord& record : records) {
        while (c + 1 < chunks.size() && chunks[c + 1].first <= record.nOffset) ++c;
        if (c >= chunks.size() || chunks[c].first != record.nOffset) continue;  // came inside a chunk with the one before
        errors.push_back(SteadyMicros(chunks[c].second) - SteadyMicros(chunks.front().second) - record.nMicros);
    }
    const size_t tenth = std::max<size_t>(errors.size() / 10, 1);
    auto mean = [](auto first, auto last) {
        long long sum = 0;
        for (auto i = first; i != last; ++i) sum += *i;
        return first == last ? 0 : sum / (last - first);
    };
    drift = errors.empty() ? 0 : mean(errors.end() - tenth, errors.end()) - mean(errors.begin(), errors.begin() + tenth);
    return errors;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    headless::Use(false);
    char pattern[] = "/tmp/zandrel-arrivals-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const fs::path dir = pattern;
    const int packets = seconds * 200;
    std::printf("%d packets of %zu bytes, 5 ms apart (%d s)\n", packets, PACKET, seconds);
    Report("stamp error (record time - far end's write)", Capture(dir / "cap.txt", packets));
    long long drift = 0;
    Report("replay error (first byte at the far end - its recorded offset)", Replay(dir / "cap.txt", drift));
    std::printf("replay drift, last tenth against first: %lld us\n", drift);
    fs::remove_all(dir);
    return 0;
}
