// What the console shows of a running job: one progress line, drawn at most
// ten times a second, and one summary line at its end. Times are milliseconds
// on the back-end's clock. Counting is an addition; the line is only formatted
// when it is drawn, into a buffer of its own, so nothing allocates per tick.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace headless {

class JobProgress {
public:
    static constexpr std::uint64_t kRedrawInterval = 100;       // at most ten lines a second
    static constexpr std::uint64_t kIdleRedrawInterval = 1000;  // clocks on the line move on without data

    // A write of a file of this size (0 when not known) paced at `delay`; a
    // replay's delay is the length of its schedule.
    // to: where the characters go when that is not the line ("the server"), named in the summary.
    void BeginWrite(std::uint64_t now, std::uint64_t fileSize, std::uint64_t delay, bool loop, bool replay = false,
                    const char* to = "");
    // A capture into this file.
    void BeginCapture(std::uint64_t now, const char* fileName);
    // Loop started the file again; it may have changed size.
    void NextPass(std::uint64_t now, std::uint64_t fileSize);
    // Characters sent or bytes captured.
    void Add(std::uint64_t count) { m_done += count; }
    // A held write shows "held" (with why, when not empty) in place of the time
    // left, a held capture why in place of its rate; the line is drawn again soon.
    void Hold(bool held, const char* why);
    void End() { m_running = false; }
    bool Running() const { return m_running; }

    // When the line is due to be drawn again: soon after a change, else once a second.
    std::uint64_t NextRedraw() const;
    // Another line was printed over it: draw it again once the limit allows.
    void Redraw() { m_overwritten = true; }
    // The line as of `now`, cut to leave the last of `columns` free; counts as drawn.
    const char* Line(std::uint64_t now, int columns);
    std::string Summary(std::uint64_t now) const;

private:
    struct Sample {
        std::uint64_t at;
        std::uint64_t done;
    };
    void TakeSample(std::uint64_t now);
    std::uint64_t BytesPerSecond(std::uint64_t now) const;
    std::uint64_t TimeLeft(std::uint64_t now, std::uint64_t left) const;

    enum class Kind { Write, Capture };
    Kind m_kind = Kind::Write;
    bool m_running = false;
    std::uint64_t m_begun = 0;
    std::uint64_t m_done = 0;
    // Write
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_delay = 0;
    bool m_loop = false;
    bool m_replay = false;
    std::string m_to;
    std::uint64_t m_passBegun = 0;
    bool m_held = false;
    std::string m_holdWhy;
    unsigned m_pass = 1;
    std::uint64_t m_doneBeforePass = 0;
    // Capture: the rate is taken over the last few seconds from samples a
    // second apart; the last byte is known to the time of the draw that saw it.
    std::string m_fileName;
    std::array<Sample, 6> m_samples{};
    unsigned m_sampleCount = 0;
    std::uint64_t m_lastDataAt = 0;
    bool m_anyData = false;

    bool m_drawn = false;
    bool m_overwritten = false;
    std::uint64_t m_drawnAt = 0;
    std::uint64_t m_doneAtDraw = 0;
    char m_line[256] = {};
};

}  // namespace headless
