// The window as it stands after start-up: controls, menus, title, choices.
#include "app/gui/comp_sel_dlg.h"
#include "app/gui/main_fich.h"
#include "tests/gui/gui_support.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

namespace vz {
namespace {

using testing::TempDir;
using testing::WaitFor;

std::unique_ptr<TMainFich> MakeWindow() {
    return std::make_unique<TMainFich>(std::make_unique<testing::ScriptedLink>());
}

QStringList Captions(const QList<QAction*>& items) {
    QStringList captions;
    for (QAction* item : items)
        captions << item->text();
    return captions;
}

TEST(MainFichTest, ControlsSitWhereTheFormPutsThem) {
    TempDir dir("layout");
    dir.MakeCurrent();
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(WaitFor([&] { return window->isVisible(); }));

    EXPECT_EQ(window->centralWidget()->size(), QSize(526, 221));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->size(), QSize(526, 221 + window->menuBar()->height()));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(window->MemoStatus->geometry(), QRect(22, 8, 484, 105));
    EXPECT_EQ(window->ProgressBar1->geometry(), QRect(22, 120, 484, 17));
    EXPECT_EQ(window->ProgressBar2->geometry(), QRect(22, 145, 484, 17));
    EXPECT_EQ(window->ReadId->geometry(), QRect(22, 173, 137, 41));
    EXPECT_EQ(window->Start->geometry(), QRect(180, 173, 169, 41));
    EXPECT_EQ(window->Quit->geometry(), QRect(369, 173, 137, 41));

    EXPECT_EQ(window->Start->text(), "Start");
    EXPECT_EQ(window->ReadId->text(), "Read Id");
    EXPECT_EQ(window->Quit->text(), "Quit");
    // Without "readid.ini" in the current directory both stay hidden.
    EXPECT_TRUE(window->ReadId->isHidden());
    EXPECT_TRUE(window->Quit->isHidden());
    for (QWidget* w : {static_cast<QWidget*>(window->MemoStatus), static_cast<QWidget*>(window->Start),
                       static_cast<QWidget*>(window->ReadId), static_cast<QWidget*>(window->Quit)}) {
        EXPECT_EQ(w->font().family(), "MS Sans Serif") << w->objectName().toStdString();
        EXPECT_EQ(w->font().pixelSize(), 16) << w->objectName().toStdString();
    }
    EXPECT_TRUE(window->MemoStatus->isReadOnly());
    EXPECT_EQ(window->MemoStatus->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_EQ(window->Timer1->interval(), 500);
    // The first idle step has greeted the operator.
    ASSERT_TRUE(WaitFor([&] { return !window->MemoStatus->toPlainText().isEmpty(); }));
    EXPECT_EQ(window->MemoStatus->toPlainText(), "Click on button START to begin program operation");
    EXPECT_EQ(window->Start->text(), "START");
}

TEST(MainFichTest, MenusCarryTheirNamesCaptionsAndDefaults) {
    auto window = MakeWindow();
    QStringList menus;
    for (QAction* item : window->menuBar()->actions())
        menus << item->menu()->objectName() + "=" + item->text();
    EXPECT_EQ(menus, QStringList({"Port1=&Port", "MDev=&Device", "Program1=&Mode", "Speed1=&Speed",
                                  "About1=&About"}));
    EXPECT_EQ(Captions(window->Port1->actions()),
              QStringList({"Com 1", "Com 2", "Com 3", "Com 4", "Com 5", "Com 6", "Com 7", "Com 8", "Com 9"}));
    EXPECT_EQ(Captions(window->MDev->actions()),
              QStringList({"&Auto", "KR&A350", "KR&B350", "KR&C350", "KR&D350", "KR&T120"}));
    EXPECT_EQ(Captions(window->Program1->actions()), QStringList({"&Auto", "&Manual"}));
    EXPECT_EQ(Captions(window->Speed1->actions()), QStringList({"Fast", "Slow"}));
    EXPECT_EQ(Captions(window->About1->actions()), QStringList({"&About Zentrik Vorna-Zadod Updater"}));
    EXPECT_EQ(window->Port1->actions()[3]->objectName(), "Com41");
    EXPECT_EQ(window->MDev->actions()[5]->objectName(), "MDevKRT120");
    for (QAction* item : {window->Com11, window->MDevAuto, window->MAuto, window->Fast})
        EXPECT_TRUE(item->isChecked()) << item->objectName().toStdString();

    const RunChoices choices = window->Choices();
    EXPECT_EQ(choices.port, 1);
    EXPECT_FALSE(choices.slow);
    EXPECT_EQ(choices.menuModel, 0);
    EXPECT_FALSE(choices.manual);
    EXPECT_TRUE(choices.keyb && choices.prom1 && choices.prom2);
}

TEST(MainFichTest, MenuItemsAreRadioItemsAndGiveTheRunsChoices) {
    auto window = MakeWindow();
    const QList<QAction*> ports = window->Port1->actions();
    for (int n = 9; n >= 1; --n) {
        ports[n - 1]->trigger();
        EXPECT_EQ(window->Choices().port, n);
        for (int other = 1; other <= 9; ++other)
            EXPECT_EQ(ports[other - 1]->isChecked(), other == n) << n << " " << other;
    }
    // Checking an item that is already checked keeps it checked.
    window->Com11->trigger();
    EXPECT_TRUE(window->Com11->isChecked());

    const QList<QAction*> devices = window->MDev->actions();
    const int codes[] = {0, 1, 2, 3, 4, 7};
    for (int i = 5; i >= 0; --i) {
        devices[i]->trigger();
        EXPECT_EQ(window->Choices().menuModel, codes[i]);
    }
    window->Slow->trigger();
    EXPECT_TRUE(window->Choices().slow);
    EXPECT_FALSE(window->Fast->isChecked());
}

TEST(MainFichTest, ReadIdFileInTheCurrentDirectoryShowsReadIdAndQuit) {
    TempDir dir("readid_visible");
    dir.Write("readid.ini", "D0\n");
    dir.MakeCurrent();
    auto window = MakeWindow();
    EXPECT_FALSE(window->ReadId->isHidden());
    EXPECT_FALSE(window->Quit->isHidden());
    EXPECT_TRUE(window->Quit->isEnabled());
}

TEST(MainFichTest, TitleStartsShortAndIsRebuiltOnEveryPaint) {
    auto window = MakeWindow();
    EXPECT_EQ(window->windowTitle(), "Zentrik Vorna-Zadod Updater  (Device Unknown Id Unknown)");
    window->show();
    EXPECT_TRUE(WaitFor([&] {
        return window->windowTitle() == "Zentrik Vorna-Zadod Updater  (Device Unknown    Id Unknown)";
    })) << window->windowTitle().toStdString();
    window->Core().SetOptions(10);
    window->Core().SetModelCode(1);
    EXPECT_TRUE(WaitFor([&] {
        return window->windowTitle() ==
               "Zentrik Vorna-Zadod Updater  (Device KRA350  Option Logo  Id Unknown)";
    })) << window->windowTitle().toStdString();
}

TEST(MainFichTest, ProgressBarsFollowTheEnginesAndNeverSpin) {
    auto window = MakeWindow();
    TGestionnaire& engine = window->Core().KeybEngine();
    engine.SetProgressMax(0);
    // A range of nothing would show the toolkit's busy animation.
    EXPECT_LT(window->ProgressBar1->minimum(), window->ProgressBar1->maximum());
    EXPECT_EQ(window->ProgressBar1->value(), window->ProgressBar1->minimum());
    engine.SetProgressMax(4);
    engine.StepProgress();
    engine.StepProgress();
    EXPECT_EQ(window->ProgressBar1->maximum(), 4);
    EXPECT_EQ(window->ProgressBar1->value(), 2);
    for (int i = 0; i < 5; ++i)
        engine.StepProgress();
    EXPECT_EQ(window->ProgressBar1->value(), 4);
}

TEST(MainFichTest, ManualModeShowsTheDialogWhoseBoxesReachTheRun) {
    auto window = MakeWindow();
    std::vector<bool> prom1WhenShown;
    testing::ModalAnswerer answerer([&](QWidget* modal) {
        auto* dialog = qobject_cast<TCompSelDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        prom1WhenShown.push_back(dialog->CBProm1->isChecked());
        if (prom1WhenShown.size() == 1) {
            dialog->CBProm1->setChecked(false);
            dialog->reject(); // the window's close box
        } else {
            dialog->OKBtn->click();
        }
    });
    window->MManual->trigger();
    EXPECT_TRUE(window->MManual->isChecked());
    EXPECT_FALSE(window->MAuto->isChecked());
    RunChoices choices = window->Choices();
    EXPECT_TRUE(choices.manual);
    EXPECT_TRUE(choices.keyb);
    EXPECT_FALSE(choices.prom1);
    EXPECT_TRUE(choices.prom2);

    window->MAuto->trigger();
    choices = window->Choices();
    EXPECT_FALSE(choices.manual);
    EXPECT_FALSE(choices.prom1);

    window->MManual->trigger();
    EXPECT_EQ(answerer.Count(), 2);
    EXPECT_EQ(prom1WhenShown, (std::vector<bool>{true, false}));
    EXPECT_FALSE(window->Choices().prom1);
}

} // namespace
} // namespace vz
