#include "app/gui/comp_sel_dlg.h"

#include "app/face_data/window_description.h"
#include "app/gui/placement.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace vz {

namespace {

QCheckBox* MakeBox(QWidget* parent, const face::Control& control) {
    auto* box = new QCheckBox(QString::fromLatin1(control.caption), parent);
    box->setObjectName(QString::fromLatin1(control.name));
    PlaceFitted(*box, control.rect, face::kCompGroup.rect.width);
    box->setChecked(true);
    return box;
}

} // namespace

TCompSelDlg::TCompSelDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::fromLatin1(face::kCompSelFormName));
    setWindowTitle(QString::fromLatin1(face::kCompSelCaption));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(face::kCompSelClientSize.width, face::kCompSelClientSize.height);

    GroupBox1 = new QGroupBox(QString::fromLatin1(face::kCompGroup.caption), this);
    GroupBox1->setObjectName(QString::fromLatin1(face::kCompGroup.name));
    const face::Rect& group = face::kCompGroup.rect;
    GroupBox1->setGeometry(group.left, group.top, group.width, group.height);
    CBKeyb = MakeBox(GroupBox1, face::kCompKeyb);
    CBProm1 = MakeBox(GroupBox1, face::kCompProm1);
    CBProm2 = MakeBox(GroupBox1, face::kCompProm2);

    OKBtn = new QPushButton(QString::fromLatin1(face::kCompOK.caption), GroupBox1);
    OKBtn->setObjectName(QString::fromLatin1(face::kCompOK.name));
    PlaceFitted(*OKBtn, face::kCompOK.rect, group.width);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &TCompSelDlg::OKBtnClick);
}

void TCompSelDlg::OKBtnClick() {
    accept();
}

void TCompSelDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CenterOnScreen(*this);
}

} // namespace vz
