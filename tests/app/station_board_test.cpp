// What a station window shows, on virtual time: the tiles and the header as the
// board works them out from a station of emulated devices.
#include "app/face_data/station_board.h"
#include "tests/app/virtual_station.h"
#include "tests/support/unique_temp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace vz {
namespace {

namespace fs = std::filesystem;

// A port that cannot be opened.
class ClosedLink : public TLinkControl {
public:
    void SelectLinkPort(int) override {}
    void SelectLinkPath(const std::string&) override {}
    bool SetLinkRun(bool run) override { return !run; }
    void PostTx(const std::string&) override {}
    std::string TakeReceived() override { return {}; }
    void SetSpeedFast() override {}
    void SetSpeedSlow() override {}
};

// The test is the window: it keeps every tile drawn and every box asked for.
class StationBoardTest : public ::testing::Test, public testing::VirtualLoop, public face::StationBoardFace {
protected:
    void DrawTile(std::size_t port) override {
        if (board_) drawn_[port].push_back(board_->Tile(port));
    }
    void DrawHeader() override {}
    void DrawButtons() override {}
    void ShowBoxLater(const std::string& text, const char*) override { boxes_.push_back(text); }

    void SetUp() override {
        emu::WritePackage((dir_ / "pkg").string(), true);
        expected_ = emu::ExpectedFromScript((dir_ / "pkg" / emu::ModelByCode(1).folder).string());
    }
    void TearDown() override {
        board_.reset();
        fs::remove_all(dir_);
    }

    // A board on ports "A1=hub-1", "B1=hub-2" ..., one a series of devices.
    face::StationBoard& Board(long ports, long count, bool closed = false) {
        face::StationArguments arguments;
        for (long port = 0; port < ports; ++port)
            arguments.ports.push_back(
                {std::string(1, static_cast<char>('A' + port)) + "1", "hub-" + std::to_string(port + 1)});
        arguments.root = (dir_ / "pkg").string();
        arguments.count = count;
        face::StationContext context;
        context.hostName = "bench";
        context.version = "test";
        context.time = Time();
        context.adjust = [this, closed](TStationSettings& settings) {
            UseLoop(settings);
            if (closed)
                settings.newLink = [](std::size_t, std::function<void()>) {
                    return std::make_unique<ClosedLink>();
                };
        };
        board_ = std::make_unique<face::StationBoard>(arguments, context, *this);
        return *board_;
    }

    std::unique_ptr<face::StationBoard> board_;
    std::map<std::size_t, std::vector<face::TileView>> drawn_;
    std::vector<std::string> boxes_;
    fs::path dir_ = vz::testing::UniqueTempPath("vz_station_board");
    emu::ExpectedMemories expected_;
};

TEST_F(StationBoardTest, TilesKeepTheLastResultWithItsReasonUntilTheNextDeviceIsKnown) {
    emu::FaultEntry refused;
    refused.refuseAt[emu::FaultKind::Bank] = {3};
    AddDevices(2, {}, &expected_);
    AddDevices(2, refused, &expected_);
    face::StationBoard& board = Board(2, 2);
    ASSERT_EQ(board.Start(*this), std::nullopt);
    ASSERT_TRUE(RunUntil([&] { return board.Done(); }));

    const face::TileView done = board.Tile(0);
    EXPECT_EQ(done.title, "A1");
    EXPECT_EQ(done.look, face::TileLook::Completed);
    EXPECT_EQ(done.last.rfind("Last: completed KRA350  Id : 1002 in ", 0), 0u) << done.last;
    EXPECT_EQ(done.percent, 100);
    EXPECT_EQ(done.counts, "Completed 2   Failed 0   Stopped 0");
    const face::TileView failed = board.Tile(1);
    EXPECT_EQ(failed.look, face::TileLook::Failed);
    EXPECT_EQ(failed.last,
              "Last: failed KRA350  Id : 1102\nReason: Error while writing!!!\nAdvice: The update "
              "stopped while programming keyboard bank 0: the device is partly updated; run "
              "the update again before it is used");
    EXPECT_EQ(board.Header().totals, "Completed 2   Failed 2   Stopped 0   Yield 50 %");
    EXPECT_EQ(board.Header().people, "Station: bench   Operator: -");
    EXPECT_NE(board.Header().elapsed, "Elapsed 0:00:00");

    // While the second device calls, the first one's result stands; once it is known, it goes.
    bool keptWhileCalling = false, clearedWhenKnown = false, staleShown = false;
    for (const face::TileView& tile : drawn_[0]) {
        const bool first = tile.last.find("Id : 1001") != std::string::npos;
        keptWhileCalling = keptWhileCalling || (tile.state == "updating  a device calling" && first);
        if (tile.state == "updating  KRA350  Id : 1002") {
            clearedWhenKnown = clearedWhenKnown || tile.last.empty();
            staleShown = staleShown || first;
        }
    }
    EXPECT_TRUE(keptWhileCalling);
    EXPECT_TRUE(clearedWhenKnown);
    EXPECT_FALSE(staleShown);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(StationBoardTest, StoppedRefusedAndUnusableStationsSaySo) {
    AddDevices(3, {}, &expected_);
    face::StationBoard& board = Board(1, 0);
    ASSERT_EQ(board.Start(*this), std::nullopt);
    ASSERT_TRUE(RunUntil([&] { return board.Tile(0).activity == "Upload Bank0"; }));
    EXPECT_TRUE(board.AnyUpdating());
    board.StopAll("stopped by the operator");
    ASSERT_TRUE(RunUntil([&] { return board.Done(); }));
    EXPECT_EQ(board.Tile(0).look, face::TileLook::Stopped);
    EXPECT_EQ(board.Tile(0).last.rfind("Last: stopped KRA350  Id : 1001\nAdvice: The update stopped while "
                                       "programming keyboard bank 0",
                                       0),
              0u)
        << board.Tile(0).last;
    EXPECT_EQ(board.Header().totals, "Completed 0   Failed 0   Stopped 1   Yield -");

    // Nothing starts on a package that is not there.
    face::StationBoard& missing = Board(1, 1);
    fs::remove_all(dir_ / "pkg");
    EXPECT_NE(missing.Start(*this), std::nullopt);
    EXPECT_FALSE(missing.Running());

    // Ports that cannot be opened stop the station, with one box; the others are stopped.
    emu::WritePackage((dir_ / "pkg").string(), true);
    face::StationBoard& closed = Board(2, 1, true);
    ASSERT_EQ(closed.Start(*this), std::nullopt);
    ASSERT_TRUE(RunUntil([&] { return closed.Done(); }));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].rfind("The station stopped: a port cannot be opened.\n", 0), 0u) << boxes_[0];
    EXPECT_EQ(closed.Tile(0).look, face::TileLook::Unusable);
    EXPECT_EQ(closed.Tile(1).look, face::TileLook::Stopped);
}

} // namespace
} // namespace vz
