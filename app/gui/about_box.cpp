#include "app/gui/about_box.h"

#include "app/face_data/window_description.h"
#include "app/gui/display_text.h"
#include "app/gui/placement.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace vz {

namespace {

QRect Geometry(const face::Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

// A label as large as its caption.
QLabel* MakeLabel(QWidget* parent, const face::Control& control) {
    auto* label = new QLabel(QString::fromLatin1(control.caption), parent);
    label->setObjectName(QString::fromLatin1(control.name));
    label->move(control.rect.left, control.rect.top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent, const std::string& programPath) : QDialog(parent) {
    setObjectName(QString::fromLatin1(face::kAboutFormName));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(face::kAboutClientSize.width, face::kAboutClientSize.height);
    QFont font(QString::fromLatin1(face::kAboutFont.face));
    font.setPixelSize(face::kAboutFont.pixelHeight);
    setFont(font);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QString::fromLatin1(face::kAboutPanel.name));
    Panel1->setGeometry(Geometry(face::kAboutPanel.rect));
    // A lowered outer bevel around a raised inner one.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QString::fromLatin1(face::kAboutIcon.name));
    ProgramIcon->setGeometry(Geometry(face::kAboutIcon.rect));
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/vzupdater/vzupdater.png")));

    LTitle = MakeLabel(Panel1, face::kAboutTitle);
    LTitle->clear();
    LVersion = MakeLabel(Panel1, face::kAboutVersion);
    LNotice = MakeLabel(Panel1, face::kAboutNotice);

    OKButton = new QPushButton(QString::fromLatin1(face::kAboutOK.caption), this);
    OKButton->setObjectName(QString::fromLatin1(face::kAboutOK.name));
    PlaceFitted(*OKButton, face::kAboutOK.rect, face::kAboutClientSize.width);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate(programPath);
}

void TAboutBox::FormCreate(const std::string& programPath) {
    setWindowTitle(QString::fromLatin1(face::kAboutCaption));
    LTitle->setText(QString::fromLatin1(face::kProductTitle));
    LTitle->adjustSize();
    // Without version information the design caption stays.
    if (const auto version = FileVersionValue(programPath, kFileVersionKey)) {
        LVersion->setText(QString::fromLatin1(face::kVersionPrefix) + DisplayText(*version));
        LVersion->adjustSize();
    }
}

} // namespace vz
