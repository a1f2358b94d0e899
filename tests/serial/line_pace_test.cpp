// What a write tells of its line's pace, from what each tick found: H a tick
// whose character the line did not take, T one whose character it took.
#include <gtest/gtest.h>

#include <string>

#include "serial/line_pace.h"

namespace {

// The news of each tick of the run, one letter a tick: - none, N not taking
// data, S slower than the tick, A taking data again.
std::string NewsOf(const std::string& ticks) {
    CLinePace pace;
    std::string news;
    for (char tick : ticks) {
        switch (tick == 'H' ? pace.Held() : pace.Took()) {
        case CLinePace::NoNews: news += '-'; break;
        case CLinePace::NotTaking: news += 'N'; break;
        case CLinePace::Slower: news += 'S'; break;
        case CLinePace::TakingAgain: news += 'A'; break;
        }
    }
    return news;
}

TEST(LinePace, EachChangeIsToldOnceAndAMissedTickNowAndThenNotAtAll) {
    struct Case {
        const char* what;
        const char* ticks;
        const char* news;
    };
    const Case cases[] = {
        {"keeps pace", "TTTTTTTTTTTT", "------------"},
        {"a tick missed now and then", "TTHTTTTTTTTTTTHTTT", "------------------"},
        {"stops", "TTHHHHHH", "---N----"},
        {"stops and comes back", "THHHTTTTTTTTTTTT", "--N----------A--"},
        {"half the pace of the tick", "THTHTHTHTH", "---S------"},
        {"stops, then trickles", "THHHTHHHTHHH", "--N--S------"},
        {"comes back for a moment only: a trickle", "HHTTTHHT", "-N---S--"},
        {"stops again after coming back", "HHTTTTTTTTTTHH", "-N---------A-N"},
    };
    for (const Case& c : cases) EXPECT_EQ(NewsOf(c.ticks), c.news) << c.what;
}

}  // namespace
