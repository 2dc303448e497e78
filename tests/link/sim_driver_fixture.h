// A driver on the simulated port, timed by the port's own clock.
#pragma once

#include "link/commdrv.h"
#include "link/port_sim.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vz::test {

class SimDriverTest : public ::testing::Test {
protected:
    SimDriverTest() {
        auto port = std::make_unique<SimPort>();
        sim = port.get();
        driver = std::make_unique<TCommPortDriver>(std::move(port), sim->Clock());
    }

    // Opens and forgets what the open itself did, so a test sees only its own steps.
    void OpenFresh() {
        ASSERT_TRUE(driver->OpenPort());
        sim->ClearLog();
    }

    std::string ReadAll(std::uint32_t capacity) {
        std::string buffer(capacity, '\0');
        buffer.resize(driver->ReadBytes(buffer.data(), capacity));
        return buffer;
    }

    SimPort* sim = nullptr; // owned by the driver
    std::unique_ptr<TCommPortDriver> driver;
};

} // namespace vz::test
