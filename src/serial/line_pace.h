// Whether the line keeps up with a write's ticks, from what each tick found,
// and when that is news for the user. A line is behind once it has not taken
// the characters of two ticks since it last kept pace; it keeps pace again
// once it has taken those of ten ticks in a row. So a line that misses a tick
// now and then says nothing, and one slower than the tick says so once rather
// than at every character.
#pragma once

class CLinePace {
public:
    enum ENews {
        NoNews,
        NotTaking,    // the line has taken nothing for two ticks
        Slower,       // it takes characters, but not one every tick
        TakingAgain,  // it has kept pace again after either of those
    };

    // The tick's character, or the line's share of one, was not taken.
    ENews Held();
    // The tick's character was taken (or needed no line: a NUL, an end of file).
    ENews Took();
    bool IsBehind() const { return m_bBehind; }
    void Reset() { *this = CLinePace(); }

private:
    static constexpr int BEHIND_AFTER_HELD = 2;
    static constexpr int KEPT_PACE_AFTER = 10;

    int m_nHeld = 0;  // held ticks since the line last kept pace
    int m_nTakenInARow = 0;
    bool m_bTookSinceHeld = false;
    bool m_bBehind = false;
    bool m_bSlowerTold = false;
};
