// A test on the headless back-end's manual clock with one message-only
// window of the given class, created for each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/framework/headless/headless.h"

template <class Window>
class MessageWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Use(true);
        ASSERT_TRUE(headless::CreateMessageWindow(window));
    }
    Window window;
};
