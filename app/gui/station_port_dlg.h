// The ports of a station chosen among those found, each with an optional label,
// when the command line gave none.
#pragma once

#include "app/face_data/station_arguments.h"
#include "link/port_list.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QLineEdit;

namespace vz {

class TStationPortDlg : public QDialog {
    Q_OBJECT
public:
    TStationPortDlg(const std::vector<PortInfo>& ports, QWidget* parent = nullptr);

    // The ports ticked, in the order found, with their labels.
    std::vector<face::StationPortArgument> Chosen() const;

    std::vector<QCheckBox*> Boxes;
    std::vector<QLineEdit*> Labels;

private:
    std::vector<std::string> names_;
};

} // namespace vz
