// A fixture for tests that drive the plug-in the way a host does: its code linked in,
// the in-memory platform installed, the library started before each test and shut
// down after it, with the fake's counters showing that nothing was left behind.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Host.h"
#include "PluginApi.h"
#include "platform/FakePlatform.h"

namespace tarvik::test_support {

class LinkedPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetOs(Installed());
        std::string error;
        library = host::PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr) << error;
        ASSERT_TRUE(error.empty()) << error;
        plugin = std::make_unique<host::Host>(library->Api());
    }
    void TearDown() override {
        plugin.reset();
        library.reset();  // the library's shut-down lets go of everything
        EXPECT_EQ(fake.Registrations(), 0u);
        EXPECT_EQ(fake.LiveAtoms(), 0u);
        EXPECT_EQ(fake.LiveWindows(), 0u);
        EXPECT_EQ(fake.LiveBlocks(), 0u);
        EXPECT_EQ(fake.ForeignFrees(), 0u) << "GlobalFree was handed an address that is no block";
        platform::SetOs(nullptr);
    }
    // The platform the library talks to; a test may put a wrapper around the fake.
    virtual platform::Platform* Installed() { return &fake; }

    platform::FakePlatform fake;
    std::unique_ptr<host::PluginLibrary> library;
    std::unique_ptr<host::Host> plugin;
};

}  // namespace tarvik::test_support
