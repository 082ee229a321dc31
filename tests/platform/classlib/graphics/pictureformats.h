// The picture-format list as a program's start fills it (the class library's rows, then JPEG), for
// the test programs that load pictures by name: PictureFormatsEnvironment registers them before
// the first test and removes them after the last.
#pragma once

#include <gtest/gtest.h>

#include "platform/classlib/graphics.h"
#include "platform/classlib/jpeg.h"

namespace testsupport {

class PictureFormatsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        GraphicsStartup();
        JPEGStartup();
    }
    void TearDown() override {
        JPEGShutdown();
        GraphicsShutdown();
    }
};

}  // namespace testsupport
