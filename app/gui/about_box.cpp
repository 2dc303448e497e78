#include "app/gui/about_box.h"

#include "app/gui/display_text.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace vz {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent, const std::string& programPath) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(270, 149);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 256, 137);
    // A lowered outer bevel around a raised inner one.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setMidLineWidth(1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(16, 24, 41, 41);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/vzupdater/vzupdater.png")));

    LTitle = MakeLabel(Panel1, "LTitle", QString(), 68, 24);
    LVersion = MakeLabel(Panel1, "LVersion", QStringLiteral("Version : X.X.X.X"), 104, 44);
    LNotice = MakeLabel(Panel1, "LNotice", QStringLiteral("Copyright Zentrik"), 86, 60);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(98, 108, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate(programPath);
}

void TAboutBox::FormCreate(const std::string& programPath) {
    setWindowTitle(QStringLiteral("About \"Zentrik Vorna-Zadod Updater\""));
    LTitle->setText(QStringLiteral("Zentrik Vorna-Zadod Updater"));
    LTitle->adjustSize();
    // Without version information the design caption stays.
    if (const auto version = FileVersionValue(programPath, kFileVersionKey)) {
        LVersion->setText(QStringLiteral("Version : ") + DisplayText(*version));
        LVersion->adjustSize();
    }
}

} // namespace vz
