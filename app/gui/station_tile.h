// One port of the station window: its name, its state in words and colour, the
// device's progress, its counts and how its last device ended.
#pragma once

#include "app/face_data/station_board.h"

#include <QFrame>

class QLabel;
class QProgressBar;

namespace vz {

class TStationTile : public QFrame {
    Q_OBJECT
public:
    explicit TStationTile(QWidget* parent = nullptr);

    void Show(const face::TileView& view);

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
