// TStationFich: the station window. One tile a port; Start and Stop for all ports.
// It gives the station its thread (QTimer, queued calls) and draws what it hears;
// the devices, the records and the transcripts are the station's own.
#pragma once

#include "app/core/station.h"
#include "app/face_data/station_arguments.h"
#include "app/face_data/station_description.h"
#include "app/face_data/station_setup.h"
#include "link/port_list.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

class QGridLayout;
class QLabel;
class QLayout;
class QPushButton;

namespace vz {

class TStationTile;

class TStationFich : public QMainWindow, private TStationLoop, private TStationEvents {
    Q_OBJECT
public:
    TStationFich(face::StationArguments arguments, face::StationContext context, QWidget* parent = nullptr);
    ~TStationFich() override;

    void StartClick();
    void StopClick();
    // A device is mid-update on some port.
    bool AnyUpdating() const;
    // The station started and every port has finished.
    bool Done() const { return station_ && station_->Done(); }

    // Where the port dialog finds the ports (tests give their own); ListPorts when none.
    void SetPortLister(std::function<std::vector<PortInfo>()> list) { listPorts_ = std::move(list); }

    QPushButton* Start;
    QPushButton* Stop;
    std::vector<TStationTile*> Tiles;

signals:
    // A refusal or question box is about to be shown (tests answer it).
    void Refused(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct PortView {
        QString last;
        face::TileLook lastLook = face::TileLook::Idle;
        QString advice; // the current device's, until it ends
    };

    QLayout* BuildHeader(QWidget* client);
    void BuildTiles();
    // The port dialog; false when the operator chose none.
    bool ChoosePorts();
    void DrawPort(std::size_t port);
    void DrawHeader();
    void DrawButtons();
    // Asks the stop or close question when a device is mid-update; true: go on.
    bool ConfirmStop(const char* question);
    void ShowRefusal(const QString& text, const char* title = face::kStationRefusedTitle);

    // The station's thread.
    std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) override;
    void Post(std::function<void()> work) override;

    // What the station tells.
    void PortChanged(std::size_t port) override;
    void StatusLine(std::size_t port, const std::string& line) override;
    void Advice(std::size_t port, const std::string& text) override;
    void DeviceIdentified(std::size_t port, const TDeviceIdentity& identity) override;
    void DeviceEnded(std::size_t port, const TDeviceRecord& record, const TRunEnd& end) override;
    void PortUnusable(std::size_t port, const TRunEnd& end) override;
    void AdapterGone(std::size_t port, const TRunEnd& end) override;
    void AdapterBack(std::size_t port) override;
    void PortGaveUp(std::size_t port, long failures) override;
    void TranscriptFailed(std::size_t port, const std::string& path) override;
    void ReportFailed(const std::string& reason) override;
    void Heartbeat() override;

    face::StationArguments arguments_;
    face::StationContext context_;
    std::unique_ptr<TStation> station_;
    std::vector<PortView> views_;
    TSessionRecord session_;
    QElapsedTimer elapsed_;
    qint64 elapsedMs_ = 0;
    bool refusalShown_ = false;
    std::function<std::vector<PortInfo>()> listPorts_;
    QGridLayout* tilesGrid_;
    QLabel* package_;
    QLabel* people_;
    QLabel* totals_;
    QLabel* clock_;
    QLabel* report_;
};

} // namespace vz
