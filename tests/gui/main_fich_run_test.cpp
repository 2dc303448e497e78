// Runs through the window: its timer, the data path, the buttons and the boxes.
#include "app/gui/main_fich.h"
#include "tests/gui/gui_support.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vz {
namespace {

using testing::TempDir;
using testing::WaitFor;
using testing::WindowLink;

const char kIdle[] = "Click on button START to begin program operation";
const char kSync[] = "Start the device while pushing the ENTER button";

// What the window showed each time the core changed its controls.
struct ControlsView {
    QString start;
    bool startEnabled, readIdEnabled, quitEnabled;
    bool port, speed, mode, device;
    int interval;
};

class RecordingWindow : public TMainFich {
public:
    using TMainFich::TMainFich;
    void ControlsChanged() override {
        TMainFich::ControlsChanged();
        views.push_back({Start->text(), Start->isEnabled(), ReadId->isEnabled(), Quit->isEnabled(),
                         Port1->menuAction()->isEnabled(), Speed1->menuAction()->isEnabled(),
                         Program1->menuAction()->isEnabled(), MDev->menuAction()->isEnabled(),
                         Driver().TimerInterval()});
    }
    std::vector<ControlsView> views;
};

class WindowRunTest : public ::testing::Test {
protected:
    TempDir root_{"run_root"};
    TempDir cwd_{"run_cwd"};
    WindowLink* link_ = nullptr;
    std::unique_ptr<RecordingWindow> window_;
    // Answers the modal windows a test expects; any other fails the test and is closed.
    std::function<void(QWidget*)> onModal_;
    testing::ModalAnswerer answerer_{[this](QWidget* modal) {
        if (onModal_)
            onModal_(modal);
        else
            ADD_FAILURE() << "unexpected modal window: " << modal->windowTitle().toStdString();
    }};

    void Create() {
        cwd_.MakeCurrent();
        auto link = std::make_unique<WindowLink>();
        link_ = link.get();
        window_ = std::make_unique<RecordingWindow>(std::move(link));
        link_->window = window_.get();
        window_->Core().SetRootDir(root_.Path().string());
    }
    void Open() {
        Create();
        window_->show();
        ASSERT_TRUE(WaitFor([&] { return window_->Start->text() == "START"; }));
    }
    // A KRA350 refusing 21 and taking 18, with options 2 and identifier 8012.
    void ExpectKra350Sync() {
        link_->onRun = "%";
        Expect("%", ".");
        Expect("21", "X");
        Expect("18", ".ABCD8012000212.");
    }
    void Expect(const std::string& sent, const std::string& reply) { link_->script.push_back({sent, reply}); }
    QStringList Memo() const { return window_->MemoStatus->toPlainText().split('\n'); }
    bool Idle() const { return window_->Core().State() == TSequencerState::Idle; }
};

TEST_F(WindowRunTest, CompleteRunShowsEveryStepAndEndsWithQuitThenStart) {
    root_.Write("KRA350/script.ini", "prompt Hello operator\r\nRS\r\n");
    Open();
    ExpectKra350Sync();
    Expect("RS", ".");
    Expect("FI", ".");
    window_->views.clear();
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Memo().contains("Program operation completed"); }));
    ASSERT_TRUE(WaitFor([&] { return Memo().back() == kIdle; }));

    EXPECT_EQ(Memo(),
              QStringList({kIdle, kSync, "Verify Device Type", "Boot Checksum : 4BCD", "Device ID : 8012",
                           "Hello operator", "Reset", "Program operation completed", kIdle}));
    EXPECT_TRUE(link_->unexpected.empty()) << link_->unexpected.front();
    EXPECT_TRUE(link_->script.empty());
    EXPECT_EQ(link_->port, 1);
    EXPECT_FALSE(link_->running);

    // START disables Quit; the run shows STOP with the Port, Mode and Device menus
    // disabled and the timer fast; the end shows QUIT for one step, then START.
    std::vector<QString> captions;
    for (const ControlsView& view : window_->views)
        if (captions.empty() || captions.back() != view.start) captions.push_back(view.start);
    EXPECT_EQ(captions, (std::vector<QString>{"START", "STOP", "QUIT", "START"}));
    bool sawStop = false;
    for (const ControlsView& view : window_->views) {
        if (view.start != "STOP") continue;
        sawStop = true;
        EXPECT_FALSE(view.port || view.mode || view.device);
        EXPECT_TRUE(view.speed);
        EXPECT_FALSE(view.quitEnabled);
        EXPECT_EQ(view.interval, 10);
    }
    EXPECT_TRUE(sawStop);
    const ControlsView& last = window_->views.back();
    EXPECT_TRUE(last.port && last.speed && last.mode && last.device && last.quitEnabled);
    EXPECT_EQ(window_->Start->text(), "START");
    EXPECT_EQ(window_->Timer1->interval(), 500);
    EXPECT_TRUE(window_->Timer1->isActive());

    // Two script lines plus the synchronisation.
    EXPECT_EQ(window_->ProgressBar2->maximum(), 3);
    EXPECT_EQ(window_->ProgressBar2->value(), 3);
    EXPECT_EQ(window_->ProgressBar1->value(), window_->ProgressBar1->minimum());
    EXPECT_TRUE(WaitFor([&] {
        return window_->windowTitle() ==
               "Zentrik Vorna-Zadod Updater  (Device KRA350  Option Logo  Id : 8012)";
    })) << window_->windowTitle().toStdString();
}

TEST_F(WindowRunTest, StopDuringALineReturnsToIdleWithoutABox) {
    root_.Write("KRA350/script.ini", "wait 100000\n");
    Open();
    ExpectKra350Sync();
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window_->Core().State() == TSequencerState::LineRunning; }));
    EXPECT_EQ(window_->Start->text(), "STOP");
    EXPECT_FALSE(window_->MDev->menuAction()->isEnabled());
    EXPECT_TRUE(link_->running);

    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !link_->running; }));
    EXPECT_EQ(window_->Start->text(), "START");
    EXPECT_TRUE(window_->MDev->menuAction()->isEnabled());
    EXPECT_TRUE(window_->Quit->isEnabled());
    EXPECT_FALSE(window_->Core().InstEngine().Busy());
    EXPECT_EQ(Memo().back(), kIdle);
}

TEST_F(WindowRunTest, ErrorIsAddedToTheMemoAndShownInAnErrorBox) {
    root_.Write("KRA350/script.ini", "rem first\nNOTHING\n");
    Open();
    ExpectKra350Sync();
    QStringList texts;
    std::vector<QMessageBox::Icon> icons;
    std::vector<QMessageBox::StandardButtons> buttons;
    onModal_ = [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        texts << box->text();
        icons.push_back(box->icon());
        buttons.push_back(box->standardButtons());
        // The memo shows the error before the box comes up.
        EXPECT_EQ(Memo().back(), box->text());
        box->button(QMessageBox::Ok)->click();
    };
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return answerer_.Count() == 1 && Idle() && Memo().back() == kIdle; }));
    EXPECT_EQ(texts, QStringList{"Syntax Error in script file line : 2"});
    EXPECT_EQ(icons, std::vector<QMessageBox::Icon>{QMessageBox::Critical});
    EXPECT_EQ(buttons, std::vector<QMessageBox::StandardButtons>{QMessageBox::Ok});
    EXPECT_EQ(Memo().count("Syntax Error in script file line : 2"), 1);
    // An error leaves Quit disabled until a run completes or is stopped.
    EXPECT_FALSE(window_->Quit->isEnabled());
    EXPECT_EQ(window_->Start->text(), "START");
}

TEST_F(WindowRunTest, ReadIdRunKeepsQuitEnabledAndEndsOnStart) {
    cwd_.Write("readid.ini", "");
    root_.Write("KRA350/readid.ini", "D0\n");
    Open();
    ASSERT_FALSE(window_->ReadId->isHidden());
    ExpectKra350Sync();
    Expect("D0", ".4F.");
    Expect("FI", ".");
    window_->views.clear();
    QTest::mouseClick(window_->ReadId, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Memo().contains("Program operation completed") && Idle(); }));
    EXPECT_TRUE(Memo().contains("ID Number : 4F"));
    bool sawStop = false;
    for (const ControlsView& view : window_->views) {
        EXPECT_TRUE(view.quitEnabled);
        EXPECT_NE(view.start, "QUIT");
        if (view.start == "STOP") {
            sawStop = true;
            EXPECT_FALSE(view.readIdEnabled);
        }
    }
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(window_->ReadId->isEnabled());
    EXPECT_TRUE(window_->Core().ReadIdMode());
}

TEST_F(WindowRunTest, QuitClosesTheWindowAndStopsTheLink) {
    cwd_.Write("readid.ini", "");
    Open();
    // The device never calls, so the run waits for it in the synchronisation step.
    bool runningAtEnd = true;
    link_->runningAtEnd = &runningAtEnd;
    window_->ReadIdClick();
    ASSERT_TRUE(
        WaitFor([&] { return link_->running && window_->Core().State() == TSequencerState::WaitSync; }));
    // A Read Id run leaves Quit usable.
    QTest::mouseClick(window_->Quit, Qt::LeftButton);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->Timer1->isActive());
    // The link was stopped, then let go.
    EXPECT_FALSE(runningAtEnd);
    link_ = nullptr;
    // Nothing runs after closing: no step, no timer, whatever still arrives.
    const std::size_t lines = window_->MemoStatus->toPlainText().size();
    window_->DataReceived();
    window_->Timer1Timer();
    testing::Spin(100);
    EXPECT_FALSE(window_->Timer1->isActive());
    EXPECT_EQ(std::size_t(window_->MemoStatus->toPlainText().size()), lines);
}

TEST_F(WindowRunTest, UnattendedRunStartsByItselfAndClosesTheWindowAtTheEnd) {
    root_.Write("KRA350/script.ini", "prompt one\nprompt two\nprompt three\nprompt four\n");
    Create();
    ExpectKra350Sync();
    Expect("FI", ".");
    const std::string picture = (root_.Path() / "half.png").string();
    window_->SetUnattended(true);
    window_->SetSnapshotPath(QString::fromStdString(picture));
    QStringList shown;
    QObject::connect(window_.get(), &TMainFich::MemoLineShown, [&](const QString& line) { shown << line; });
    window_->show();
    ASSERT_TRUE(WaitFor([&] { return !window_->isVisible(); }));
    link_ = nullptr; // gone with the closed window
    EXPECT_FALSE(window_->UnattendedFailed());
    EXPECT_EQ(shown, QStringList({kSync, "Verify Device Type", "Boot Checksum : 4BCD", "Device ID : 8012",
                                  "one", "two", "three", "four", "Program operation completed"}));
    // The picture was taken half-way through the script, showing the run.
    const QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), window_->size() * window_->devicePixelRatio());
}

TEST_F(WindowRunTest, UnattendedErrorIsReportedInsteadOfABox) {
    root_.Write("KRA350/script.ini", "NOTHING\n");
    Create();
    ExpectKra350Sync();
    window_->SetUnattended(true);
    QStringList errors;
    QObject::connect(window_.get(), &TMainFich::ErrorReported, [&](const QString& text) { errors << text; });
    window_->show();
    ASSERT_TRUE(WaitFor([&] { return !window_->isVisible(); }));
    link_ = nullptr;
    EXPECT_EQ(errors, QStringList{"Syntax Error in script file line : 1"});
    EXPECT_TRUE(window_->UnattendedFailed());
}

// The operator's keys: START holds the focus at opening and after a box, Enter and
// Space press the focused button, and a button that goes disabled hands the focus on.
TEST_F(WindowRunTest, KeyboardFocusStaysOnAButtonThatCanTakeIt) {
    cwd_.Write("readid.ini", "");
    root_.Write("KRA350/script.ini", "NOTHING\n");
    root_.Write("KRA350/readid.ini", "wait 100000\n");
    Open();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    EXPECT_EQ(window_->focusWidget(), window_->Start);

    // Read Id pressed with Space goes disabled at once: the focus goes to a button
    // still enabled, from which Tab goes on round the buttons.
    ExpectKra350Sync();
    QTest::keyClick(window_->Start, Qt::Key_Backtab);
    ASSERT_EQ(window_->focusWidget(), window_->ReadId);
    QTest::keyClick(window_->ReadId, Qt::Key_Space);
    ASSERT_TRUE(WaitFor([&] { return window_->Core().State() == TSequencerState::LineRunning; }));
    EXPECT_FALSE(window_->ReadId->isEnabled());
    QWidget* focus = window_->focusWidget();
    ASSERT_TRUE(focus == window_->Start || focus == window_->Quit);
    QTest::keyClick(focus, Qt::Key_Tab);
    EXPECT_NE(window_->focusWidget(), focus);
    EXPECT_TRUE(window_->focusWidget() == window_->Start || window_->focusWidget() == window_->Quit);
    // Enter on STOP ends the run.
    window_->Start->setFocus();
    QTest::keyClick(window_->Start, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return Idle() && window_->Start->text() == "START"; }));

    // Enter on START; the error box; START has the focus again once it is closed.
    link_->sent.clear(); // the device calls again
    ExpectKra350Sync();
    onModal_ = [&](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click(); };
    window_->Quit->setFocus();
    QTest::keyClick(window_->Start, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return answerer_.Count() == 1 && Idle() && Memo().back() == kIdle; }));
    EXPECT_EQ(window_->focusWidget(), window_->Start);
}

// The close box during an update asks first; No (the default) keeps the run going,
// Yes closes and stops the link.
TEST_F(WindowRunTest, ClosingDuringAnUpdateAsksAndNoKeepsTheRunGoing) {
    root_.Write("KRA350/script.ini", "wait 100000\n");
    Open();
    ExpectKra350Sync();
    QTest::mouseClick(window_->Start, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return window_->Core().State() == TSequencerState::LineRunning; }));
    QString text;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton answer = QMessageBox::No;
    onModal_ = [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Update running");
        text = box->text();
        defaultButton = box->standardButton(box->defaultButton());
        // The run goes on while the question waits.
        EXPECT_TRUE(link_->running);
        box->button(answer)->click();
    };
    window_->close();
    EXPECT_EQ(answerer_.Count(), 1);
    EXPECT_EQ(text, "An update is running. Closing now stops it and leaves the device partly updated. "
                    "Close anyway?");
    EXPECT_EQ(defaultButton, QMessageBox::No);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(window_->Core().State(), TSequencerState::LineRunning);
    EXPECT_TRUE(window_->Timer1->isActive() || window_->NextStep->isActive());
    EXPECT_EQ(window_->focusWidget(), window_->Start);

    answer = QMessageBox::Yes;
    bool runningAtEnd = true;
    link_->runningAtEnd = &runningAtEnd;
    window_->close();
    EXPECT_EQ(answerer_.Count(), 2);
    EXPECT_FALSE(window_->isVisible());
    window_.reset();
    EXPECT_FALSE(runningAtEnd);
}

} // namespace
} // namespace vz
