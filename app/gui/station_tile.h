// One port of the station window: its name, its state in words and colour, the
// device's progress, its counts and how its last device ended.
#pragma once

#include "app/face_data/station_description.h"

#include <QFrame>

class QLabel;
class QProgressBar;

namespace vz {

class TStationTile : public QFrame {
    Q_OBJECT
public:
    TStationTile(const QString& title, QWidget* parent = nullptr);

    // The state's words after the look's own (the device being updated).
    void ShowState(face::TileLook look, const QString& detail = {});
    void ShowPercent(int percent);
    void ShowActivity(const QString& line);
    void ShowCounts(long completed, long failed, long stopped);
    // How the last device ended, its reason and advice; empty: none yet.
    void ShowLast(const QString& text, face::TileLook look);

    face::TileLook Look() const { return look_; }
    QString StateText() const;
    QString LastText() const;

private:
    QLabel* title_;
    QLabel* state_;
    QProgressBar* bar_;
    QLabel* activity_;
    QLabel* counts_;
    QLabel* last_;
    face::TileLook look_ = face::TileLook::Idle;
};

} // namespace vz
