// TStationFich: the station window. One tile a port; Start and Stop for all ports.
// It gives the station its thread (QTimer, queued calls) and draws what it hears;
// the devices, the records and the transcripts are the station's own.
#pragma once

#include "app/face_data/station_arguments.h"
#include "app/face_data/station_board.h"
#include "app/face_data/station_description.h"
#include "app/face_data/station_setup.h"
#include "link/port_list.h"

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

class TStationFich : public QMainWindow, private TStationLoop, private face::StationBoardFace {
    Q_OBJECT
public:
    TStationFich(face::StationArguments arguments, face::StationContext context, QWidget* parent = nullptr);
    ~TStationFich() override;

    void StartClick();
    void StopClick();
    // A device is mid-update on some port.
    bool AnyUpdating() const { return board_.AnyUpdating(); }
    // The station started and every port has finished.
    bool Done() const { return board_.Done(); }

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
    QLayout* BuildHeader(QWidget* client);
    void BuildTiles();
    // The port dialog; false when the operator chose none.
    bool ChoosePorts();
    // Asks the stop or close question when a device is mid-update; true: go on.
    bool ConfirmStop(const char* question);
    void ShowRefusal(const QString& text, const char* title = face::kStationRefusedTitle);

    // The station's thread.
    std::unique_ptr<TTimer> NewTimer(std::function<void()> fire) override;
    void Post(std::function<void()> work) override;

    // What the board draws.
    void DrawTile(std::size_t port) override;
    void DrawHeader() override;
    void DrawButtons() override;
    void ShowBoxLater(const std::string& text, const char* title) override;

    face::StationBoard board_;
    std::function<std::vector<PortInfo>()> listPorts_;
    QGridLayout* tilesGrid_;
    QLabel* package_;
    QLabel* people_;
    QLabel* totals_;
    QLabel* clock_;
    QLabel* report_;
};

} // namespace vz
