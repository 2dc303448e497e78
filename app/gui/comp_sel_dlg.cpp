#include "app/gui/comp_sel_dlg.h"

#include "app/gui/placement.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

namespace vz {

namespace {

QCheckBox* MakeBox(QWidget* parent, const char* name, const char* caption, int top) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(112, top, 73, 17);
    box->setChecked(true);
    return box;
}

} // namespace

TCompSelDlg::TCompSelDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CompSelDlg"));
    setWindowTitle(QStringLiteral("Component Selection"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(313, 171);

    GroupBox1 = new QGroupBox(QStringLiteral("Select Component to Program"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 4, 297, 161);
    CBKeyb = MakeBox(GroupBox1, "CBKeyb", "Keyb 350", 24);
    CBProm1 = MakeBox(GroupBox1, "CBProm1", "Prom 1", 52);
    CBProm2 = MakeBox(GroupBox1, "CBProm2", "Prom 2", 80);

    OKBtn = new QPushButton(QStringLiteral("OK"), GroupBox1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(75, 112, 154, 33);
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
