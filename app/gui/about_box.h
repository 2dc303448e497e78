// The about box: the product title and the file version of the program.
#pragma once

#include "app/face_data/version_info.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace vz {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `programPath`: the file whose version information is shown.
    explicit TAboutBox(QWidget* parent = nullptr, const std::string& programPath = RunningProgramPath());

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* LTitle;
    QLabel* LVersion;
    QLabel* LNotice;
    QPushButton* OKButton;

private:
    void FormCreate(const std::string& programPath);
};

} // namespace vz
