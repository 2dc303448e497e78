// The station window as an operator uses it: emulated devices on pseudo-terminals,
// Start pressed with Enter, devices updated and recorded; closing mid-update asks.
#include "app/gui/station_fich.h"
#include "app/gui/station_port_dlg.h"
#include "app/gui/station_tile.h"
#include "tests/e2e/process.h"
#include "tests/gui/gui_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
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

TEST(StationCommandLine, ReadsWhatTheOperatorTypes) {
    const char* argv[] = {"vzupdater",    "--station",  "bench-2",   "--port",     "Left jig=/dev/ttyUSB0",
                          "--port",       "3",          "--count=5", "--operator", "Ada",
                          "--components", "keyb,prom2", "--speed",   "slow",       "script.ini"};
    const face::StationArguments arguments = face::ParseStationArguments(std::size(argv), argv);
    EXPECT_EQ(arguments.error, "");
    EXPECT_TRUE(arguments.station);
    EXPECT_EQ(arguments.stationName, "bench-2");
    ASSERT_EQ(arguments.ports.size(), 2u);
    EXPECT_EQ(arguments.ports[0].label, "Left jig");
    EXPECT_EQ(arguments.ports[0].port, "/dev/ttyUSB0");
    EXPECT_EQ(face::PortTitle(arguments.ports[1]), "3");
    EXPECT_EQ(arguments.count, 5);
    EXPECT_EQ(arguments.components, (std::vector<std::string>{"keyb", "prom2"}));
    EXPECT_EQ(arguments.script, "script.ini");

    const char* bad[] = {"vzupdater", "--station", "--count", "--port", "1"};
    EXPECT_EQ(face::ParseStationArguments(std::size(bad), bad).error, "--count needs a value");
}

class StationWindow : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vz_station_window_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "logs");
        e2e::Process make({VZDEVICE_PATH, "make-package", (dir_ / "pkg").string(), "--small"});
        ASSERT_EQ(make.Wait(60), 0) << make.Err();
        arguments_.station = true;
        arguments_.count = 1;
        arguments_.report = (dir_ / "report.jsonl").string();
        arguments_.logDir = (dir_ / "logs").string();
        arguments_.root = (dir_ / "pkg").string();
        arguments_.stationName = "bench";
        arguments_.operatorName = "Ada";
    }
    void TearDown() override {
        devices_.clear();
        fs::remove_all(dir_);
    }

    // Two devices, "Socket A" and "Socket B"; `eraseMs` makes their updates last.
    void StartDevices(const char* eraseMs) {
        for (const char* name : {"bench-A", "bench-B"}) {
            const std::string link = (dir_ / name).string();
            devices_.push_back(std::make_unique<e2e::Process>(
                std::vector<std::string>{VZDEVICE_PATH, "--erase-ms", eraseMs, "--link", link}));
            ASSERT_FALSE(devices_.back()->ReadLine(10).empty()) << devices_.back()->Err();
            arguments_.ports.push_back({std::string("Socket ") + name[6], link});
        }
    }

    // Opens the window and presses Enter on what has the focus: Start.
    std::unique_ptr<TStationFich> OpenAndStart(std::vector<PortInfo> found = {}) {
        face::StationContext context;
        context.hostName = "host";
        context.version = "0.0.0.0";
        auto window = std::make_unique<TStationFich>(arguments_, context);
        window->SetPortLister([found] { return found; });
        QObject::connect(window.get(), &TStationFich::Refused,
                         [this](const QString& text) { refusals_ << text; });
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(window->windowTitle().contains(QStringLiteral("Station")));
        EXPECT_EQ(QApplication::focusWidget(), window->Start);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_TRUE(window->Stop->isEnabled());
        return window;
    }

    std::vector<std::string> Results() const {
        std::vector<std::string> results;
        for (const std::string& record : Lines(dir_ / "report.jsonl")) {
            EXPECT_NE(record.find("\"operator\": \"Ada\""), std::string::npos) << record;
            const std::size_t at = record.find("\"result\": \"");
            results.push_back(
                at == std::string::npos ? "?" : record.substr(at + 11, record.find('"', at + 11) - at - 11));
        }
        return results;
    }

    fs::path dir_;
    face::StationArguments arguments_;
    std::vector<std::unique_ptr<e2e::Process>> devices_;
    QStringList refusals_;
};

TEST_F(StationWindow, UpdatesTwoDevicesStartedFromTheKeyboard) {
    StartDevices("0");
    testing::ModalAnswerer answerer([](QWidget*) {});
    const std::unique_ptr<TStationFich> window = OpenAndStart();

    const bool done = testing::WaitFor(
        [&] {
            return window->Tiles[0]->Look() == face::TileLook::Completed &&
                   window->Tiles[1]->Look() == face::TileLook::Completed && window->Done();
        },
        90000);
    EXPECT_TRUE(done) << window->Tiles[0]->StateText().toStdString() << " / "
                      << window->Tiles[1]->StateText().toStdString();
    EXPECT_TRUE(refusals_.isEmpty()) << refusals_.join(QStringLiteral("\n")).toStdString();
    EXPECT_TRUE(window->Start->isEnabled());
    for (TStationTile* tile : window->Tiles)
        EXPECT_TRUE(tile->LastText().contains(QStringLiteral("completed"))) << tile->LastText().toStdString();
    EXPECT_EQ(Results(), (std::vector<std::string>{"completed", "completed"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "logs"), fs::directory_iterator()), 2);

    // The picture of the finished station, to look at.
    if (const QString picture = qEnvironmentVariable("VZ_STATION_PICTURE"); !picture.isEmpty()) {
        EXPECT_TRUE(window->grab().save(picture));
    }
    EXPECT_TRUE(window->close());
}

TEST_F(StationWindow, ClosingMidUpdateAsksThenRecordsTheDevicesAsStopped) {
    StartDevices("1500");
    const std::unique_ptr<TStationFich> window = OpenAndStart();
    ASSERT_TRUE(testing::WaitFor(
        [&] {
            return window->Tiles[0]->Look() == face::TileLook::Updating &&
                   window->Tiles[1]->Look() == face::TileLook::Updating;
        },
        30000));

    {
        // No is the default: Enter keeps the window and the updates.
        testing::ModalAnswerer keep([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
        EXPECT_FALSE(window->close());
        EXPECT_EQ(keep.Count(), 1);
        EXPECT_TRUE(window->AnyUpdating());
        EXPECT_TRUE(Results().empty());
    }
    testing::ModalAnswerer yes([](QWidget* box) {
        if (auto* question = qobject_cast<QMessageBox*>(box)) question->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(window->close());
    EXPECT_EQ(yes.Count(), 1);
    EXPECT_EQ(Results(), (std::vector<std::string>{"stopped", "stopped"}));
}

TEST_F(StationWindow, PortsChosenInTheDialogWhenNoneWereGiven) {
    StartDevices("0");
    std::vector<PortInfo> found;
    for (const face::StationPortArgument& port : arguments_.ports) {
        found.emplace_back();
        found.back().name = port.port;
    }
    arguments_.ports.clear();
    // The operator ticks both ports, labels the second and presses Enter (OK).
    testing::ModalAnswerer choose([](QWidget* box) {
        auto* dialog = qobject_cast<TStationPortDlg*>(box);
        ASSERT_NE(dialog, nullptr);
        ASSERT_EQ(dialog->Boxes.size(), 2u);
        QTest::keyClick(dialog->Boxes[0], Qt::Key_Space);
        dialog->Boxes[1]->setChecked(true);
        QTest::keyClicks(dialog->Labels[1], QStringLiteral("Left jig"));
        QTest::keyClick(dialog->Labels[1], Qt::Key_Return);
    });
    const std::unique_ptr<TStationFich> window = OpenAndStart(found);
    ASSERT_EQ(window->Tiles.size(), 2u);
    EXPECT_TRUE(testing::WaitFor([&] { return window->Done(); }, 90000));
    EXPECT_EQ(Results(), (std::vector<std::string>{"completed", "completed"}));
    const std::string report = Lines(dir_ / "report.jsonl")[0] + Lines(dir_ / "report.jsonl")[1];
    EXPECT_NE(report.find("\"label\": \"Left jig\""), std::string::npos) << report;
}

} // namespace
} // namespace vz
