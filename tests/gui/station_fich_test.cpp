// The station window as an operator uses it: two emulated devices on two
// pseudo-terminals, Start pressed with Enter, both devices updated and recorded.
#include "app/gui/station_fich.h"
#include "app/gui/station_tile.h"
#include "tests/e2e/process.h"
#include "tests/gui/gui_support.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace vz {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(StationWindow, UpdatesTwoDevicesStartedFromTheKeyboard) {
    const fs::path dir = fs::temp_directory_path() / ("vz_station_window_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "logs");
    e2e::Process make({VZDEVICE_PATH, "make-package", (dir / "pkg").string(), "--small"});
    ASSERT_EQ(make.Wait(60), 0) << make.Err();
    std::vector<std::unique_ptr<e2e::Process>> devices;
    face::StationArguments arguments;
    arguments.station = true;
    for (const char* name : {"bench-A", "bench-B"}) {
        const std::string link = (dir / name).string();
        devices.push_back(std::make_unique<e2e::Process>(
            std::vector<std::string>{VZDEVICE_PATH, "--erase-ms", "0", "--link", link}));
        ASSERT_FALSE(devices.back()->ReadLine(10).empty()) << devices.back()->Err();
        arguments.ports.push_back({std::string("Socket ") + name[6], link});
    }
    arguments.count = 1;
    arguments.report = (dir / "report.jsonl").string();
    arguments.logDir = (dir / "logs").string();
    arguments.root = (dir / "pkg").string();
    arguments.stationName = "bench";
    arguments.operatorName = "Ada";
    face::StationContext context{{}, "host", "0.0.0.0"};

    TStationFich window(arguments, context);
    QStringList refusals;
    QObject::connect(&window, &TStationFich::Refused, [&refusals](const QString& text) { refusals << text; });
    testing::ModalAnswerer answerer([](QWidget*) {});
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.windowTitle().contains(QStringLiteral("Station")));
    ASSERT_EQ(QApplication::focusWidget(), window.Start);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(window.Stop->isEnabled());

    const bool done = testing::WaitFor(
        [&] {
            return window.Tiles[0]->Look() == face::TileLook::Completed &&
                   window.Tiles[1]->Look() == face::TileLook::Completed && window.Done();
        },
        90000);
    EXPECT_TRUE(done) << window.Tiles[0]->StateText().toStdString() << " / "
                      << window.Tiles[1]->StateText().toStdString();
    EXPECT_TRUE(refusals.isEmpty()) << refusals.join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(window.Start->isEnabled());
    for (TStationTile* tile : window.Tiles)
        EXPECT_TRUE(tile->LastText().contains(QStringLiteral("completed"))) << tile->LastText().toStdString();

    const std::vector<std::string> records = Lines(dir / "report.jsonl");
    ASSERT_EQ(records.size(), 2u);
    for (const std::string& record : records) {
        EXPECT_NE(record.find("\"result\": \"completed\""), std::string::npos) << record;
        EXPECT_NE(record.find("\"operator\": \"Ada\""), std::string::npos) << record;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "logs"), fs::directory_iterator()), 2);

    // The picture of the finished station, for the documentation and to look at.
    if (const QString picture = qEnvironmentVariable("VZ_STATION_PICTURE"); !picture.isEmpty()) {
        EXPECT_TRUE(window.grab().save(picture));
    }
    window.close();
    devices.clear();
    fs::remove_all(dir);
}

} // namespace
} // namespace vz
