#include "app/gui/main_fich.h"

#include "app/core/com_thread_link.h"
#include "app/face_data/window_description.h"
#include "app/gui/about_box.h"
#include "app/gui/comp_sel_dlg.h"
#include "app/gui/display_text.h"
#include "app/gui/link_error_box.h"
#include "app/gui/placement.h"
#include "app/gui/port_menu_items.h"
#include "link/port_list.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace vz {

namespace {

QRect Geometry(const face::Rect& r) {
    return QRect(r.left, r.top, r.width, r.height);
}

// The button grows to its caption's size in the window's font.
QPushButton* MakeButton(QWidget* parent, const face::Control& control) {
    auto* button = new QPushButton(QString::fromLatin1(control.caption), parent);
    button->setObjectName(QString::fromLatin1(control.name));
    // Enter presses the focused button, as Space does; outside a dialog the toolkit
    // leaves Enter to the dialog's default button otherwise.
    button->setAutoDefault(true);
    PlaceFitted(*button, control.rect, face::kMainClientSize.width);
    return button;
}

QProgressBar* MakeBar(QWidget* parent, const face::Control& control) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(control.name));
    bar->setGeometry(Geometry(control.rect));
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

QMenu* MakeMenu(QMenuBar* bar, const face::Menu& description) {
    QMenu* menu = bar->addMenu(QString::fromLatin1(description.caption));
    menu->setObjectName(QString::fromLatin1(description.name));
    return menu;
}

// A radio item: checking it unchecks the other items of its group.
QAction* MakeItem(QMenu* menu, QActionGroup* group, const face::MenuItem& description) {
    auto* item = new QAction(QString::fromLatin1(description.caption), group);
    item->setObjectName(QString::fromLatin1(description.name));
    item->setCheckable(true);
    menu->addAction(item);
    return item;
}

// The script bar tells how the last run ended: green completed, red failed,
// amber stopped; the toolkit's own colour while running and before the first run.
void ShowOutcome(QProgressBar* bar, TRunOutcome outcome) {
    QPalette palette = bar->parentWidget()->palette();
    if (outcome == TRunOutcome::Completed) palette.setColor(QPalette::Highlight, QColor(0x2E, 0x9E, 0x3E));
    if (outcome == TRunOutcome::Failed) palette.setColor(QPalette::Highlight, QColor(0xC6, 0x28, 0x28));
    if (outcome == TRunOutcome::Stopped) palette.setColor(QPalette::Highlight, QColor(0xE0, 0xA0, 0x00));
    bar->setPalette(palette);
}

void ShowBar(QProgressBar* bar, const TProgressBar& progress) {
    // An empty range would make the toolkit's bar run as a busy indicator.
    const int max = std::max(progress.Max, progress.Min + 1);
    bar->setRange(progress.Min, max);
    bar->setValue(std::clamp(progress.Position, progress.Min, max));
}

} // namespace

TMainFich::TMainFich(std::unique_ptr<TLinkControl> link, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QString::fromLatin1(face::kMainFormName));
    BuildControls();
    BuildMenus();
    LinkErrorBox = new TLinkErrorBox(this);
    if (!link) link = std::make_unique<TComThreadLink>();
    TRunHost& host = *this;
    driver_ = std::make_unique<TRunDriver>(*this, host, std::move(link));
    FormCreate();
}

TMainFich::~TMainFich() {
    FormClose();
}

void TMainFich::BuildControls() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(QIcon(QStringLiteral(":/vzupdater/vzupdater.png")));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(face::kMainClientSize.width, face::kMainClientSize.height);
    // A pixel size does not follow the system's font scaling.
    QFont font(QString::fromLatin1(face::kMainFont.face));
    font.setPixelSize(face::kMainFont.pixelHeight);
    client->setFont(font);
    setCentralWidget(client);

    MemoStatus = new QPlainTextEdit(client);
    MemoStatus->setObjectName(QString::fromLatin1(face::kMemoStatus.name));
    MemoStatus->setGeometry(Geometry(face::kMemoStatus.rect));
    MemoStatus->setReadOnly(true);
    MemoStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes round the buttons only; a click still lets the operator select and copy.
    MemoStatus->setFocusPolicy(Qt::ClickFocus);
    MemoStatus->setTabChangesFocus(true);
    QPalette palette = MemoStatus->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    MemoStatus->setPalette(palette);

    ProgressBar1 = MakeBar(client, face::kProgressBar1);
    ProgressBar1->setToolTip(QString::fromLatin1(face::kProgressBar1Tip));
    ProgressBar2 = MakeBar(client, face::kProgressBar2);
    ProgressBar2->setToolTip(QString::fromLatin1(face::kProgressBar2Tip));

    ReadId = MakeButton(client, face::kReadId);
    ReadId->hide();
    Start = MakeButton(client, face::kStart);
    Quit = MakeButton(client, face::kQuit);
    Quit->hide();
    connect(ReadId, &QPushButton::clicked, this, &TMainFich::ReadIdClick);
    connect(Start, &QPushButton::clicked, this, &TMainFich::StartClick);
    connect(Quit, &QPushButton::clicked, this, &TMainFich::QuitClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QString::fromLatin1(face::kTimerName));
    Timer1->setInterval(500);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TMainFich::Timer1Timer);
    NextStep = new QTimer(this);
    NextStep->setSingleShot(true);
    NextStep->setInterval(0);
    connect(NextStep, &QTimer::timeout, this, &TMainFich::Timer1Timer);
    ProgressTimer = new QTimer(this);
    ProgressTimer->setSingleShot(true);
    ProgressTimer->setInterval(kProgressPeriodMs);
    connect(ProgressTimer, &QTimer::timeout, this, [this] {
        if (progressPending_ && !closed_) ShowProgress();
    });
}

void TMainFich::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QString::fromLatin1(face::kMenuBarName));

    const face::Menu& port = face::MenuAt(face::kPortMenu);
    Port1 = MakeMenu(bar, port);
    auto* ports = new QActionGroup(this);
    Com11 = MakeItem(Port1, ports, port.items[0]);
    Com21 = MakeItem(Port1, ports, port.items[1]);
    Com31 = MakeItem(Port1, ports, port.items[2]);
    Com41 = MakeItem(Port1, ports, port.items[3]);
    Com51 = MakeItem(Port1, ports, port.items[4]);
    Com61 = MakeItem(Port1, ports, port.items[5]);
    Com71 = MakeItem(Port1, ports, port.items[6]);
    Com81 = MakeItem(Port1, ports, port.items[7]);
    Com91 = MakeItem(Port1, ports, port.items[8]);
    portItems_ = {Com11, Com21, Com31, Com41, Com51, Com61, Com71, Com81, Com91};
    connect(Com11, &QAction::triggered, this, &TMainFich::Com11Click);
    connect(Com21, &QAction::triggered, this, &TMainFich::Com21Click);
    connect(Com31, &QAction::triggered, this, &TMainFich::Com31Click);
    connect(Com41, &QAction::triggered, this, &TMainFich::Com41Click);
    connect(Com51, &QAction::triggered, this, &TMainFich::Com51Click);
    connect(Com61, &QAction::triggered, this, &TMainFich::Com61Click);
    connect(Com71, &QAction::triggered, this, &TMainFich::Com71Click);
    connect(Com81, &QAction::triggered, this, &TMainFich::Com81Click);
    connect(Com91, &QAction::triggered, this, &TMainFich::Com91Click);
    PortItems = new TPortMenuItems(Port1, ports);

    const face::Menu& device = face::MenuAt(face::kDeviceMenu);
    MDev = MakeMenu(bar, device);
    auto* devices = new QActionGroup(this);
    MDevAuto = MakeItem(MDev, devices, device.items[0]);
    MDevKRA350 = MakeItem(MDev, devices, device.items[1]);
    MDevKRB350 = MakeItem(MDev, devices, device.items[2]);
    MDevKRC350 = MakeItem(MDev, devices, device.items[3]);
    MDevKRD350 = MakeItem(MDev, devices, device.items[4]);
    MDevKRT120 = MakeItem(MDev, devices, device.items[5]);
    deviceItems_ = {MDevAuto, MDevKRA350, MDevKRB350, MDevKRC350, MDevKRD350, MDevKRT120};
    connect(MDevAuto, &QAction::triggered, this, &TMainFich::MDevAutoClick);
    connect(MDevKRA350, &QAction::triggered, this, &TMainFich::MDevKRA350Click);
    connect(MDevKRB350, &QAction::triggered, this, &TMainFich::MDevKRB350Click);
    connect(MDevKRC350, &QAction::triggered, this, &TMainFich::MDevKRC350Click);
    connect(MDevKRD350, &QAction::triggered, this, &TMainFich::MDevKRD350Click);
    connect(MDevKRT120, &QAction::triggered, this, &TMainFich::MDevKRT120Click);

    const face::Menu& mode = face::MenuAt(face::kModeMenu);
    Program1 = MakeMenu(bar, mode);
    auto* modes = new QActionGroup(this);
    MAuto = MakeItem(Program1, modes, mode.items[0]);
    MManual = MakeItem(Program1, modes, mode.items[1]);
    connect(MAuto, &QAction::triggered, this, &TMainFich::MAutoClick);
    connect(MManual, &QAction::triggered, this, &TMainFich::MManualClick);

    const face::Menu& speed = face::MenuAt(face::kSpeedMenu);
    Speed1 = MakeMenu(bar, speed);
    auto* speeds = new QActionGroup(this);
    Fast = MakeItem(Speed1, speeds, speed.items[0]);
    Slow = MakeItem(Speed1, speeds, speed.items[1]);
    connect(Fast, &QAction::triggered, this, &TMainFich::FastClick);
    connect(Slow, &QAction::triggered, this, &TMainFich::SlowClick);

    const face::Menu& about = face::MenuAt(face::kAboutMenu);
    About1 = MakeMenu(bar, about);
    MItemAbout = About1->addAction(QString::fromLatin1(about.items[0].caption));
    MItemAbout->setObjectName(QString::fromLatin1(about.items[0].name));
    connect(MItemAbout, &QAction::triggered, this, &TMainFich::MItemAboutClick);

    // The client area keeps its size; the window is as large as it and the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TMainFich::Check(QAction* item) {
    item->setChecked(true);
}

void TMainFich::FormCreate() {
    Check(Com11);
    MemoStatus->clear();
    // Sequencer state, identity values, the memo, the "readid.ini" check and the timer.
    driver_->FormCreate();
    setWindowTitle(DisplayText(Core().InitialTitle()));
    MItemAbout->setText(QString::fromLatin1(face::kAboutItemCaption));
    CompDialog = new TCompSelDlg(this);
    Check(Fast);
    Check(MAuto);
    Check(MDevAuto);
}

void TMainFich::FormClose() {
    if (closed_) return;
    closed_ = true;
    NextStep->stop();
    ProgressTimer->stop();
    // A link thread waiting for the operator must let go before it can end.
    LinkErrorBox->Release();
    driver_->FormClose();
}

void TMainFich::FormPaint() {
    const QString title = DisplayText(Core().Title());
    if (windowTitle() != title) setWindowTitle(title);
}

void TMainFich::Timer1Timer() {
    if (!closed_) driver_->TimerFired();
}

void TMainFich::DataReceived() {
    if (!closed_) driver_->DataReceived();
}

void TMainFich::ArmTimer(int milliseconds) {
    if (closed_) return;
    if (milliseconds > 0) {
        NextStep->stop();
        Timer1->start(milliseconds);
        return;
    }
    // At once, after the input and painting already queued; Timer1 stays the fallback.
    NextStep->start();
    if (!Timer1->isActive()) Timer1->start(driver_->TimerInterval());
}

void TMainFich::StopTimer() {
    Timer1->stop();
    NextStep->stop();
}

void TMainFich::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void TMainFich::AskLinkFailure(const std::string& text, const std::string& advice) {
    LinkErrorBox->Ask(text, advice);
}

void TMainFich::NoteLinkFailure(const std::string& line) {
    Advise(line);
}

void TMainFich::StepDone() {
    // Repainting a bar for every acknowledged line would cost more processor
    // time than the line's own work; the operator sees no difference.
    if (progressPending_ && !closed_) {
        if (!Core().RunInProgress())
            ShowProgress();
        else if (!ProgressTimer->isActive())
            ProgressTimer->start();
    }
}

void TMainFich::RunEnded(const TRunEnd& end) {
    if (end.reason == TRunEndReason::Failed || end.reason == TRunEndReason::PortFailed)
        emit ErrorReported(DisplayText(end.error));
    // Closed from the event loop, not from inside the driver's step.
    QTimer::singleShot(0, this, [this] { close(); });
}

void TMainFich::StartClick() {
    driver_->StartClick();
}

void TMainFich::ReadIdClick() {
    driver_->ReadIdClick();
}

void TMainFich::QuitClick() {
    driver_->QuitClick();
}

void TMainFich::MItemAboutClick() {
    if (aboutBox_ != nullptr) aboutBox_->exec();
    FocusStart();
}

void TMainFich::MManualClick() {
    Check(MManual);
    // The boxes keep their states however the dialog is closed.
    CompDialog->exec();
    FocusStart();
}

void TMainFich::FocusStart() {
    if (!closed_ && Start->isEnabled()) Start->setFocus(Qt::OtherFocusReason);
}

void TMainFich::KeepFocusOnAButton() {
    // A button disabled or hidden while it had the focus leaves the keys nowhere to go.
    QWidget* focus = QApplication::focusWidget();
    const bool lost = focus == nullptr || ((focus == Start || focus == ReadId || focus == Quit) &&
                                           (!focus->isEnabled() || !focus->isVisible()));
    if (!lost || !isActiveWindow()) return;
    for (QPushButton* button : {Start, Quit, ReadId})
        if (button->isVisible() && button->isEnabled()) {
            button->setFocus(Qt::OtherFocusReason);
            return;
        }
}

void TMainFich::MemoLineAdded(const std::string& line) {
    const QString text = DisplayText(line);
    MemoStatus->appendPlainText(text);
    emit MemoLineShown(text);
}

void TMainFich::Advise(const std::string& text) {
    // Not a status line of the core's memo: the next status still compares with the core's last.
    MemoStatus->appendPlainText(DisplayText(text));
    emit MemoLineShown(DisplayText(text));
}

void TMainFich::ProgressChanged() {
    // A progress bar repaints at once when its value moves; during a step that
    // would hold back the line the engine hands to the link right after.
    if (driver_ && driver_->Stepping()) {
        progressPending_ = true;
        return;
    }
    ShowProgress();
}

void TMainFich::ShowProgress() {
    progressPending_ = false;
    ShowBar(ProgressBar1, Core().ProgressBar1());
    const TProgressBar& script = Core().ProgressBar2();
    ShowBar(ProgressBar2, script);
    if (!snapshotPath_.isEmpty() && !snapshotTaken_ && script.Max > 1 && script.Position * 2 >= script.Max) {
        snapshotTaken_ = true;
        QTimer::singleShot(0, this, &TMainFich::TakeSnapshot);
    }
}

void TMainFich::ControlsChanged() {
    const TControls& controls = Core().Controls();
    Start->setText(DisplayText(controls.StartCaption));
    Start->setEnabled(controls.StartEnabled);
    ShowOutcome(ProgressBar2, Core().Outcome());
    ReadId->setVisible(controls.ReadIdVisible);
    ReadId->setEnabled(controls.ReadIdEnabled);
    Quit->setVisible(controls.QuitVisible);
    Quit->setEnabled(controls.QuitEnabled);
    Port1->menuAction()->setEnabled(controls.PortMenuEnabled);
    Speed1->menuAction()->setEnabled(controls.SpeedMenuEnabled);
    Program1->menuAction()->setEnabled(controls.ModeMenuEnabled);
    MDev->menuAction()->setEnabled(controls.DeviceMenuEnabled);
    KeepFocusOnAButton();
}

void TMainFich::Repaint() {
    update();
}

void TMainFich::ShowErrorBox(const std::string& text) {
    QMessageBox::critical(this, QString::fromLatin1(face::kErrorBoxTitle), DisplayText(text),
                          QMessageBox::Ok);
    FocusStart();
}

RunChoices TMainFich::Choices() {
    RunChoices choices;
    choices.port = 1;
    for (int n = 2; n <= 9; ++n)
        if (portItems_[n - 1]->isChecked()) {
            choices.port = n;
            break;
        }
    if (const QString path = PortItems->CheckedPath(); !path.isEmpty())
        choices.portPath = path.toLocal8Bit().toStdString();
    choices.slow = Slow->isChecked();
    const auto models = face::MenuAt(face::kDeviceMenu).items;
    for (std::size_t i = 0; i < deviceItems_.size(); ++i)
        if (deviceItems_[i]->isChecked()) choices.menuModel = static_cast<std::uint8_t>(models[i].value);
    choices.manual = MManual->isChecked();
    choices.keyb = CompDialog->CBKeyb->isChecked();
    choices.prom1 = CompDialog->CBProm1->isChecked();
    choices.prom2 = CompDialog->CBProm2->isChecked();
    return choices;
}

void TMainFich::CloseWindow() {
    close();
}

void TMainFich::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    FormPaint();
}

void TMainFich::closeEvent(QCloseEvent* event) {
    // The close box or Alt+F4 in the middle of an update: the operator confirms,
    // and No (the default) lets the run go on.
    if (!closed_ && !driver_->Unattended() && driver_->UpdateInProgress()) {
        const auto answer = QMessageBox::question(this, QString::fromLatin1(face::kCloseQuestionTitle),
                                                  QString::fromLatin1(face::kCloseQuestion),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            FocusStart();
            return;
        }
    }
    FormClose();
    event->accept();
}

void TMainFich::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    CenterOnScreen(*this);
    FocusStart();
    if (driver_->Unattended()) QTimer::singleShot(0, this, [this] { StartClick(); });
}

void TMainFich::TakeSnapshot() {
    grab().save(snapshotPath_);
}

} // namespace vz
