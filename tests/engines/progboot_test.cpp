#include "engines/progboot.h"
#include "fake_owner.h"

#include <gtest/gtest.h>

namespace vz::test {
namespace {

const std::string kBadType = "error:Bad type of device !!! If you attempt to update a VORNA-PLUS, Select "
                             "manualy the model in the DEVICE menu.";
// Data at 0x4000-0x4003 = 01 02 03 04, a record outside the checked range, the end record.
const std::string L0 = ":0440000001020304B2\r\n", L1 = ":02700000AABB29\r\n", L2 = ":00000001FF\r\n";

TEST(ProgBoot, Synchronisation) {
    const std::string verify = "status:Verify Device Type";
    const std::vector<std::string> sync = {"%", ">%", "."};
    auto after = [&](const std::vector<std::string>& more) { return Join(sync, more); };
    const struct {
        std::uint8_t menuModel;
        EngineCase c;
    } cases[] = {
        {0,
         {"SYN",
          {"ab%cd", ">%", "x.", ">21", ".", "1234ABCD."},
          {verify, "model:2", "status:Boot Checksum : B234", "status:Device ID : ABCD", "id:43981",
           "options:0", "reported:2"}}},
        {0,
         {"SYN",
          after({">21", ".", "0000123400", "0215.rest"}),
          {verify, "model:2", "status:Boot Checksum : A000", "status:Device ID : 1234", "id:4660",
           "options:2", "reported:2", "reported:2", "reported:6"}}},
        {0, {"SYN", after({">21", ".", "00001234 000215."}), {verify, "model:2"}, "00001234 000215."}},
        {0, {"SYN", {"%", ">%", "..", ">21", ">21"}, {verify, verify}}}, // every further "." starts over
        {0,
         {"SYN",
          after({">21", "X", ">18", "X", ">22", "X", ">23", "X", ">26", "X", ">25", "X", ">21", "X"}),
          {verify, kBadType}}},
        {0, {"SYN", after({">21", "X", ">18", "X", ">22", "."}), {verify, "model:3"}}},
        {3, {"SYN", after({">22", "X"}), {verify, kBadType}}},
        {7, {"SYN", after({">26", "."}), {verify, "model:7"}}},
        {1, {"SYN", after({">18", "X", ">25", "."}), {verify, "model:5"}}},
        {1, {"SYN", after({">18", "X", ">25", "X"}), {verify, kBadType}}},
        {9, {"SYN", after({">21", "."}), {verify, "model:2"}}}, // codes outside the table start at the top
    };
    FakeClock clock; // never moves: no type check times out here
    TProgBoot engine(clock.Clock());
    for (const auto& [menuModel, c] : cases) {
        engine.SetMenuModel(menuModel);
        CheckCase(engine, c);
    }
}

TEST(ProgBoot, WhatComesBeforeTheCallIsDiscardedNotTakenAsAnAnswer) {
    FakeClock clock;
    TProgBoot engine(clock.Clock());
    FakeOwner owner(engine);
    owner.Play("SYN", {"$GPGGA,1\x1B[8m", "ab%cd", ">%", "x.", ">21", ".", "1234ABCD."});
    EXPECT_EQ(owner.discarded, "$GPGGA,1\x1B[8mabx");
    EXPECT_TRUE(owner.errors.empty());
}

TEST(ProgBoot, TypeCheckTimesOutAfterOneSecond) {
    FakeClock clock;
    TProgBoot engine(clock.Clock());
    FakeOwner owner(engine);
    owner.Play("SYN", {"%", ">%", ".", ">21", "Z"}, 5);
    clock.now += 1000;
    owner.Step();
    EXPECT_TRUE(owner.errors.empty());
    EXPECT_EQ(owner.rx, "Z"); // an unknown character stays in place
    clock.now += 1;
    owner.Step();
    EXPECT_EQ(owner.errors.size(), 1u);
    EXPECT_EQ(engine.Step(), TProgBoot::stParked);
}

TEST(ProgBoot, ProgramsTheExtendedBoot) {
    TempDir dir;
    dir.Write("boot.hex", L0 + L1 + L2);
    dir.Write("empty.hex", "");
    const std::vector<std::string> upload = {">PB", ".",      ".", ">" + L0, ".", ">" + L0,
                                             ".",   ">" + L1, ".", ">" + L2, "."};
    auto then = [&](const std::vector<std::string>& more) { return Join(upload, more); };
    const std::vector<std::string> done = {
        "max:5", "status:Erase Extended Boot", "step", "status:Upload Extended Boot", "step", "step", "step",
        "step",  "status:Verify Checksum"};
    std::vector<std::string> retry = {">PB", ".", ".", ">" + L0};
    for (int i = 0; i < 299; ++i) // before the first acknowledgement the line to repeat is line 0
        retry.insert(retry.end(), {"R", ">" + L0});
    retry.insert(retry.end(), {".", ">" + L0, "R", ">" + L0, "R"});
    const std::string erased = "status:Erase Extended Boot";
    const EngineCase cases[] = {
        {"PB boot.hex", then({">:0200000CDC0E08\r\n", "."}), done},
        {"P Bboot.hex   1A2B ", then({">:0200000C1A2BAD\r\n", "."}), done},
        {"PB boot.hex 1a2b", then({">:0200000C1A2BAD\r\n", "."}), done},
        {"PB boot.hex 1A2", {}, {"error:Bad checksum in script line : PB boot.hex 1A2"}},
        {"PB boot.hex 1A 2B", {}, {"error:Bad checksum in script line : PB boot.hex 1A 2B"}},
        {"PB boot.hex " + std::string(512, 'F'),
         {},
         {"error:Bad checksum in script line : PB boot.hex " + std::string(512, 'F')}},
        {"PB boot.hex 1234", then({">:0200000C1234AC\r\n", "X"}), Join(done, {"error:Checksum Error"})},
        {"PB boot.hex",
         {">PB", ".", ".", ">" + L0, ".", ">" + L0, ".", ">" + L1, "R", ">" + L1, "X"},
         {"max:5", erased, "step", "status:Upload Extended Boot", "step", "step",
          "error:Error while writing!!!"}},
        {"PB boot.hex",
         retry,
         {"max:5", erased, "step", "status:Upload Extended Boot", "step",
          "error:Too Many Transmission Error !!!"}},
        {"PB boot.hex", {">PB", "I"}, {"max:5", "error:Instruction unknown"}},
        {"PB boot.hex", {">PB", ".", "X"}, {"max:5", erased, "error:Error while erasing !!!"}},
        {"PB empty.hex", {">PB", ".", "."}, {"max:2", erased, "step", "error:Boot File Empty !!!"}},
        {"PB . 1A2B", {}, {"error:" + dir.Dir() + ". 1A2B File not found !!!"}}, // a directory cannot be read
    };
    TProgBoot engine;
    engine.SetScriptDir(dir.Dir());
    for (const EngineCase& c : cases)
        CheckCase(engine, c);
    engine.SetScriptDir("D:\\upd\\KRA350\\");
    CheckCase(engine, {"PB missing.hex", {}, {"error:D:\\upd\\KRA350\\missing.hex File not found !!!"}});
}

} // namespace
} // namespace vz::test
