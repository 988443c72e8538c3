// Shared set-up for tests that touch the registry and shell stand-ins: every
// store and folder lives in the test's own directory.
#pragma once

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "system/registration.h"
#include "system/registry_access.h"
#include "temp_dir.h"

class RegistryFixture : public testing::Test {
  protected:
    void SetUp() override {
        fake::reset();
        mkdir((dir / "Desktop").c_str(), 0755);
    }

    ExitCode registerAt(const std::string& target, bool desktop = false, bool startMenu = false) {
        return registerApplication(target.c_str(), {desktop, startMenu});
    }

    // The value as text, or "<missing>".
    std::string value(platform::RegistryRoot root, const char* subKey, const char* name) {
        char out[260] = "<missing>";
        fake::denyRegistryWrites(false, false);
        readRegistryValue({root, subKey, name}, "", out);
        return out;
    }

    std::string machine(const char* subKey, const char* name) {
        return value(platform::kHkeyLocalMachine, subKey, name);
    }
    std::string user(const char* subKey, const char* name) {
        return value(platform::kHkeyCurrentUser, subKey, name);
    }

    ScopedTempDir dir;
    ScopedRunEnvironment environment{dir};
};
