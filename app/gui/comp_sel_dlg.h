// The component selection dialog of Manual mode: which components a run programs.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QShowEvent;

namespace vz {

class TCompSelDlg : public QDialog {
    Q_OBJECT
public:
    explicit TCompSelDlg(QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QCheckBox* CBKeyb;  // keyboard banks 0 to 7
    QCheckBox* CBProm1; // component 8
    QCheckBox* CBProm2; // component 9
    QPushButton* OKBtn;

    void OKBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace vz
