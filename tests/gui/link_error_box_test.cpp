// A port that cannot be opened, through the real communication thread.
#include "app/core/com_thread_link.h"
#include "app/gui/link_error_box.h"
#include "app/gui/main_fich.h"
#include "link/port_sim.h"
#include "tests/gui/gui_support.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace vz {
namespace {

using testing::WaitFor;

class LinkErrorBoxTest : public ::testing::Test {
protected:
    std::unique_ptr<TMainFich> window_;

    void SetUp() override {
        auto port = std::make_unique<SimPort>();
        port->FailOpens("no such port", false);
        window_ = std::make_unique<TMainFich>(std::make_unique<TComThreadLink>(std::move(port)));
    }
    QMessageBox* Box() const { return window_->LinkErrorBox->Box(); }
    bool BoxUp() const { return Box() != nullptr && Box()->isVisible(); }
};

// Closing while the run waits for the port asks first: Yes.
testing::ModalAnswerer CloseAnyway() {
    return testing::ModalAnswerer([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box != nullptr && box->windowTitle() == "Update running") box->button(QMessageBox::Yes)->click();
    });
}

TEST_F(LinkErrorBoxTest, BoxShowsTheErrorAndLeavesStopWithinReach) {
    window_->show();
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return BoxUp(); }));
    // The system's text first, then the port and the reason.
    EXPECT_EQ(Box()->text(), "Error while opening \\\\.\\COM1: no such port");
    EXPECT_EQ(Box()->informativeText(), "");
    EXPECT_EQ(Box()->icon(), QMessageBox::Critical);
    EXPECT_EQ(Box()->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    // The window is not blocked: the operator can stop the run that keeps failing.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return window_->Start->text() == "STOP"; }));
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window_->Start->text() == "START"; }));
    Box()->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return Box() == nullptr; }));
    // Stopped: the thread does not try again, so no second box comes.
    testing::Spin(300);
    EXPECT_EQ(window_->LinkErrorBox->ShownCount(), 1);
    EXPECT_EQ(Box(), nullptr);
}

TEST(LinkErrorBoxAccessTest, RefusedForLackOfRightsTheBoxSaysWhy) {
    auto port = std::make_unique<SimPort>();
    port->FailOpens("Permission denied", true);
    // A device the system can tell the owning group of.
    port->SetNaming([](int) { return std::string("/dev/null"); });
    TMainFich window(std::make_unique<TComThreadLink>(std::move(port)));
    window.show();
    QTest::mouseClick(window.Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window.LinkErrorBox->Box() != nullptr; }));
    EXPECT_EQ(window.LinkErrorBox->Box()->text(), "Error while opening /dev/null: Permission denied");
    EXPECT_FALSE(window.LinkErrorBox->Box()->informativeText().isEmpty());
    const auto yes = CloseAnyway();
    window.close();
}

TEST_F(LinkErrorBoxTest, BoxComesBackAfterOkAndClosingReleasesTheWaitingThread) {
    window_->show();
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return BoxUp(); }));
    Box()->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(WaitFor([&] { return window_->LinkErrorBox->ShownCount() == 2 && BoxUp(); }));
    // The memo has the failure once, however often the box comes back.
    EXPECT_EQ(window_->MemoStatus->toPlainText().count("Error while opening "), 1);
    // The thread waits on the second box; closing must not wait for it forever.
    const auto yes = CloseAnyway();
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->LinkErrorBox->ShownCount(), 2);
    EXPECT_TRUE(WaitFor([&] { return !BoxUp(); }));
}

TEST_F(LinkErrorBoxTest, UnattendedRunEndsOnThePortThatCannotBeOpened) {
    window_->SetUnattended(true);
    QStringList errors;
    QObject::connect(window_.get(), &TMainFich::ErrorReported, [&](const QString& text) { errors << text; });
    window_->show();
    ASSERT_TRUE(WaitFor([&] { return !window_->isVisible(); }));
    EXPECT_EQ(errors, QStringList{"Error while opening \\\\.\\COM1: no such port"});
    EXPECT_TRUE(window_->UnattendedFailed());
    EXPECT_EQ(window_->LinkErrorBox->ShownCount(), 0);
}

} // namespace
} // namespace vz
