// Help and version switches: which pair asks, and that a rejection before it wins.
#include <gtest/gtest.h>

#include "cmdline/command_line.h"
#include "cmdline/switch_question.h"

namespace {

TEST(SwitchQuestion, TheFirstQuestionIsAnsweredUnlessAPairBeforeItIsRejected) {
    const struct {
        const char* words;
        SwitchQuestion question;
    } cases[] = {
        {"", SwitchQuestion::None},
        {"-h", SwitchQuestion::Help},
        {"-H", SwitchQuestion::Help},
        {"-help", SwitchQuestion::Help},
        {"/?", SwitchQuestion::Help},
        {"--help", SwitchQuestion::Help},
        {"--version", SwitchQuestion::Version},
        {"-b 9600 -c /dev/ttyUSB0 --version", SwitchQuestion::Version},
        {"-r cap.txt -h", SwitchQuestion::Help},
        {"--help --version", SwitchQuestion::Help},
        {"--version -x", SwitchQuestion::Version},
        {"-b 1 --help", SwitchQuestion::None},     // the baud rate's message comes first
        {"-x 1 -h", SwitchQuestion::None},
        {"-b -h", SwitchQuestion::None},           // -h is the baud rate here
        {"--helpme", SwitchQuestion::None},
        {"--verbose", SwitchQuestion::None},
        {"-v", SwitchQuestion::None},
        {"-b 9600", SwitchQuestion::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        testsupport::SetCommandLine(std::string("zandrel ") + c.words);
        EXPECT_EQ(CommandLineQuestion(), c.question);
    }
}

}  // namespace
