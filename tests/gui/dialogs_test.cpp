// The component selection dialog and the about box as the operator sees them.
#include "app/gui/about_box.h"
#include "app/gui/comp_sel_dlg.h"
#include "app/gui/display_text.h"
#include "app/gui/main_fich.h"
#include "tests/gui/gui_support.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>

namespace vz {
namespace {

TEST(CompSelDlgTest, BoxesStartCheckedWhereTheFormPutsThem) {
    TCompSelDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Component Selection");
    EXPECT_EQ(dialog.size(), QSize(313, 171));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.GroupBox1->title(), "Select Component to Program");
    EXPECT_EQ(dialog.GroupBox1->geometry(), QRect(8, 4, 297, 161));
    const std::pair<QCheckBox*, const char*> boxes[] = {
        {dialog.CBKeyb, "Keyb 350"}, {dialog.CBProm1, "Prom 1"}, {dialog.CBProm2, "Prom 2"}};
    int top = 24;
    for (const auto& [box, caption] : boxes) {
        EXPECT_EQ(box->text(), caption);
        EXPECT_TRUE(box->isChecked()) << caption;
        EXPECT_EQ(box->parentWidget(), dialog.GroupBox1);
        // At its place, at least its designed size, and as wide as its caption needs.
        EXPECT_EQ(box->pos(), QPoint(112, top)) << caption;
        EXPECT_GE(box->width(), std::max(73, box->sizeHint().width())) << caption;
        EXPECT_GE(box->height(), std::max(17, box->sizeHint().height())) << caption;
        top += 28;
    }
    EXPECT_EQ(dialog.OKBtn->text(), "OK");
    EXPECT_EQ(dialog.OKBtn->geometry(), QRect(75, 112, 154, 33));
    EXPECT_TRUE(dialog.OKBtn->isDefault());
}

TEST(AboutBoxTest, ShowsTitleVersionAndIconWhereTheFormPutsThem) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About \"Zentrik Vorna-Zadod Updater\"");
    EXPECT_EQ(box.size(), QSize(270, 149));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_EQ(box.font().family(), "MS Sans Serif");
    EXPECT_EQ(box.font().pixelSize(), 11);
    EXPECT_EQ(box.Panel1->geometry(), QRect(8, 8, 256, 137));
    EXPECT_EQ(box.ProgramIcon->geometry(), QRect(16, 24, 41, 41));
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_TRUE(box.ProgramIcon->hasScaledContents());
    EXPECT_EQ(box.LTitle->text(), "Zentrik Vorna-Zadod Updater");
    EXPECT_EQ(box.LTitle->pos(), QPoint(68, 24));
    EXPECT_EQ(box.LVersion->pos(), QPoint(104, 44));
    EXPECT_EQ(box.LNotice->pos(), QPoint(86, 60));
    EXPECT_FALSE(box.LNotice->text().isEmpty());
    for (QLabel* label : {box.ProgramIcon, box.LTitle, box.LVersion, box.LNotice}) {
        EXPECT_EQ(label->parentWidget(), box.Panel1);
        // Every label fits inside the panel.
        EXPECT_TRUE(QRect(QPoint(0, 0), box.Panel1->size()).contains(label->geometry()))
            << label->objectName().toStdString();
    }
    EXPECT_EQ(box.OKButton->parentWidget(), &box);
    EXPECT_EQ(box.OKButton->geometry(), QRect(98, 108, 75, 25));
    EXPECT_TRUE(box.OKButton->isDefault());
}

TEST(AboutBoxTest, FileWithoutVersionInformationKeepsTheDesignCaption) {
    testing::TempDir dir("about_plain");
    dir.Write("plain.txt", "no version here\n");
    TAboutBox box(nullptr, (dir.Path() / "plain.txt").string());
    EXPECT_EQ(box.LVersion->text(), "Version : X.X.X.X");
}

TEST(AboutBoxTest, AboutItemShowsTheApplicationsAboutBox) {
    TMainFich window(std::make_unique<testing::ScriptedLink>());
    TAboutBox box(&window);
    window.SetAboutBox(&box);
    QString shownTitle;
    testing::ModalAnswerer answerer([&](QWidget* modal) {
        shownTitle = modal->windowTitle();
        box.OKButton->click();
    });
    window.MItemAbout->trigger();
    EXPECT_EQ(answerer.Count(), 1);
    EXPECT_EQ(shownTitle, box.windowTitle());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(DisplayTextTest, ScriptTextsInUtf8OrCodePage1252) {
    EXPECT_EQ(DisplayText("Program operation completed"), "Program operation completed");
    EXPECT_EQ(DisplayText(""), "");
    EXPECT_EQ(DisplayText("Caf\xC3\xA9 pr\xC3\xAAt"), QString::fromUtf8("Caf\xC3\xA9 pr\xC3\xAAt"));
    EXPECT_EQ(DisplayText("Caf\xE9 pr\xEAt"), QString::fromUtf8("Caf\xC3\xA9 pr\xC3\xAAt"));
    // A text cut inside a UTF-8 sequence is not UTF-8.
    EXPECT_EQ(DisplayText("ab\xC3"), QString::fromUtf8("ab\xC3\x83"));
}

} // namespace
} // namespace vz
