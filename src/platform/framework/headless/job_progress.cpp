#include "platform/framework/headless/job_progress.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace headless {
namespace {

constexpr std::uint64_t kSecond = 1000;
constexpr std::uint64_t kMinute = 60 * kSecond;
constexpr std::uint64_t kHour = 60 * kMinute;

// Short texts built on the stack: drawing the line allocates nothing.
struct Text {
    char s[32];
};

// 1234567 as "1,234,567".
Text Grouped(std::uint64_t n) {
    char digits[24];
    int nDigits = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(n));
    Text text{};
    int out = 0;
    for (int i = 0; i < nDigits; ++i) {
        if (i > 0 && (nDigits - i) % 3 == 0) text.s[out++] = ',';
        text.s[out++] = digits[i];
    }
    return text;
}

// Elapsed time as a clock: "5:08", "1:05:08".
Text Clock(std::uint64_t ms) {
    unsigned long long s = ms / kSecond;
    Text text{};
    if (s >= 3600)
        std::snprintf(text.s, sizeof text.s, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text.s, sizeof text.s, "%llu:%02llu", s / 60, s % 60);
    return text;
}

// A span in words: "1.0 s" (or "2 s" without tenths), "42 min 3 s", "2 h 5 min".
Text Span(std::uint64_t ms, bool tenths) {
    Text text{};
    unsigned long long s = ms / kSecond;
    if (ms < kMinute && tenths)
        std::snprintf(text.s, sizeof text.s, "%.1f s", static_cast<double>(ms) / kSecond);
    else if (ms < kMinute)
        std::snprintf(text.s, sizeof text.s, "%llu s", s);
    else if (ms < kHour)
        std::snprintf(text.s, sizeof text.s, "%llu min %llu s", s / 60, s % 60);
    else
        std::snprintf(text.s, sizeof text.s, "%llu h %llu min", s / 3600, s / 60 % 60);
    return text;
}

// Time left, rounded up as people read a countdown: "40 s", "38 min", "1 h 05 min".
Text Left(std::uint64_t ms) {
    Text text{};
    if (ms < kMinute) {
        std::snprintf(text.s, sizeof text.s, "%llu s", static_cast<unsigned long long>((ms + kSecond - 1) / kSecond));
        return text;
    }
    unsigned long long minutes = (ms + kMinute - 1) / kMinute;
    if (minutes < 60)
        std::snprintf(text.s, sizeof text.s, "%llu min", minutes);
    else
        std::snprintf(text.s, sizeof text.s, "%llu h %02llu min", minutes / 60, minutes % 60);
    return text;
}

}  // namespace

void JobProgress::BeginWrite(std::uint64_t now, std::uint64_t fileSize, std::uint64_t delay, bool loop, bool replay,
                             const char* to) {
    *this = JobProgress{};
    m_kind = Kind::Write;
    m_to = to;
    m_replay = replay;
    m_running = true;
    m_begun = now;
    m_passBegun = now;
    m_fileSize = fileSize;
    m_delay = delay;
    m_loop = loop;
}

void JobProgress::BeginCapture(std::uint64_t now, const char* fileName) {
    std::string name = fileName;
    *this = JobProgress{};
    m_kind = Kind::Capture;
    m_running = true;
    m_begun = now;
    m_fileName = std::move(name);
    TakeSample(now);
}

void JobProgress::NextPass(std::uint64_t now, std::uint64_t fileSize) {
    ++m_pass;
    m_passBegun = now;
    m_doneBeforePass = m_done;
    m_fileSize = fileSize;
}

void JobProgress::Hold(bool held, const char* why) {
    if (held == m_held && m_holdWhy == why) return;
    m_held = held;
    m_holdWhy = held ? why : "";
    Redraw();
}

std::uint64_t JobProgress::NextRedraw() const {
    if (!m_drawn) return m_begun;
    bool changed = m_done != m_doneAtDraw || m_overwritten;
    return m_drawnAt + (changed ? kRedrawInterval : kIdleRedrawInterval);
}

void JobProgress::TakeSample(std::uint64_t now) {
    if (m_sampleCount > 0 && now - m_samples[(m_sampleCount - 1) % m_samples.size()].at < kSecond) return;
    m_samples[m_sampleCount % m_samples.size()] = {now, m_done};
    ++m_sampleCount;
}

// At the pace achieved so far, holds and a line slower than the ticks
// included; before the first character, at one a tick.
std::uint64_t JobProgress::TimeLeft(std::uint64_t now, std::uint64_t left) const {
    if (m_done == 0) return left * m_delay;
    return left * (now - m_begun) / m_done;
}

std::uint64_t JobProgress::BytesPerSecond(std::uint64_t now) const {
    // The oldest sample kept: the ring's next slot once it has gone round.
    const Sample& oldest = m_samples[m_sampleCount > m_samples.size() ? m_sampleCount % m_samples.size() : 0];
    if (now <= oldest.at) return 0;
    return (m_done - oldest.done) * kSecond / (now - oldest.at);
}

const char* JobProgress::Line(std::uint64_t now, int columns) {
    char* out = m_line;
    size_t room = sizeof m_line;
    auto append = [&](const char* format, auto... values) {
        int n = std::snprintf(out, room, format, values...);
        size_t used = std::min(static_cast<size_t>(n < 0 ? 0 : n), room - 1);
        out += used;
        room -= used;
    };
    if (m_kind == Kind::Write) {
        std::uint64_t sent = m_done - m_doneBeforePass;
        if (m_loop) append("pass %u, ", m_pass);
        if (m_replay) {
            const std::uint64_t at = std::min(now - m_passBegun, m_delay);
            append("replaying %s of %s bytes, %s of %s", Grouped(sent).s, Grouped(m_fileSize).s, Clock(at).s,
                   Clock(m_delay).s);
        } else if (m_fileSize == 0) {
            append("sent %s in %s", Grouped(sent).s, Clock(now - m_begun).s);
        } else {
            std::uint64_t counted = std::min(sent, m_fileSize);
            append("sent %s of %s (%llu %%) in %s", Grouped(sent).s, Grouped(m_fileSize).s,
                   static_cast<unsigned long long>(counted * 100 / m_fileSize), Clock(now - m_begun).s);
            if (!m_loop && !m_held) append(", %s left", Left(TimeLeft(now, m_fileSize - counted)).s);
        }
        if (m_held) append(", held%s%s", m_holdWhy.empty() ? "" : ": ", m_holdWhy.c_str());
    } else {
        if (m_done != m_doneAtDraw) {
            m_lastDataAt = now;
            m_anyData = true;
        }
        TakeSample(now);
        append("captured %s bytes, ", Grouped(m_done).s);
        if (m_held && !m_holdWhy.empty()) {
            append("%s", m_holdWhy.c_str());
        } else {
            append("%s bytes/s, ", Grouped(BytesPerSecond(now)).s);
            if (m_anyData)
                append("last byte %s ago", Span(now - m_lastDataAt, false).s);
            else
                append("no byte in %s", Span(now - m_begun, false).s);
        }
    }
    // The last column stays free: a full row would wrap and \r could not rewrite it.
    if (columns >= 1 && static_cast<size_t>(columns - 1) < sizeof m_line) m_line[columns - 1] = '\0';
    m_drawn = true;
    m_overwritten = false;
    m_drawnAt = now;
    m_doneAtDraw = m_done;
    return m_line;
}

std::string JobProgress::Summary(std::uint64_t now) const {
    if (m_kind == Kind::Write) {
        std::string sent = "sent " + std::string(Grouped(m_done).s) + (m_done == 1 ? " character" : " characters");
        if (!m_to.empty()) sent += " to " + m_to;
        sent += " in " + std::string(Span(now - m_begun, true).s);
        if (m_pass > 1) sent += " (" + std::to_string(m_pass) + " passes)";
        return sent;
    }
    char summary[64];
    std::snprintf(summary, sizeof summary, "captured %s byte%s into ", Grouped(m_done).s, m_done == 1 ? "" : "s");
    return summary + m_fileName;
}

}  // namespace headless
