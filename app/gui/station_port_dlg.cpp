#include "app/gui/station_port_dlg.h"

#include "app/face_data/station_description.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vz {

TStationPortDlg::TStationPortDlg(const std::vector<PortInfo>& ports, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::fromLatin1(face::kStationPortsFormName));
    setWindowTitle(QString::fromLatin1(face::kStationPortsTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QString::fromLatin1(ports.empty() ? face::kStationNoPorts : face::kStationPortsPrompt), this));
    auto* grid = new QGridLayout;
    for (const PortInfo& port : ports) {
        auto* box = new QCheckBox(QString::fromStdString(PortCaption(port)), this);
        auto* label = new QLineEdit(this);
        label->setPlaceholderText(QString::fromLatin1(face::kStationLabelHint));
        const int row = static_cast<int>(Boxes.size());
        grid->addWidget(box, row, 0);
        grid->addWidget(label, row, 1);
        Boxes.push_back(box);
        Labels.push_back(label);
        // The stable name keeps a socket's port across reboots and replugging.
        names_.push_back(port.stableName.empty() ? port.name : port.stableName);
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::vector<face::StationPortArgument> TStationPortDlg::Chosen() const {
    std::vector<face::StationPortArgument> chosen;
    for (std::size_t i = 0; i < Boxes.size(); ++i)
        if (Boxes[i]->isChecked()) chosen.push_back({Labels[i]->text().trimmed().toStdString(), names_[i]});
    return chosen;
}

} // namespace vz
