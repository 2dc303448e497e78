#include "app/gui/station_fich.h"

#include "app/core/identity.h"
#include "app/face_data/station_description.h"
#include "app/gui/station_port_dlg.h"
#include "app/gui/station_tile.h"
#include "formats/printable_text.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace vz {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(PrintableText(text));
}

// "KRA350  Option Logo  Id : 1001".
QString IdentityText(const std::optional<TDeviceIdentity>& identity) {
    if (!identity) return {};
    std::string text = ModelText(identity->model);
    if (const std::string option = OptionText(identity->options); !option.empty()) text += "  " + option;
    return Text(text + "  " + IdText(identity->deviceId));
}

// The station's one-shot timers on the toolkit's.
class TQtStationTimer : public TStationLoop::TTimer {
public:
    explicit TQtStationTimer(std::function<void()> fire) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [fire = std::move(fire)] { fire(); });
    }
    void Arm(int milliseconds) override { timer_.start(milliseconds); }
    void Stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

QLabel* HeaderLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TStationFich::TStationFich(face::StationArguments arguments, face::StationContext context, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)), context_(std::move(context)),
      views_(arguments_.ports.size()) {
    setObjectName(QString::fromLatin1(face::kStationFormName));
    setWindowTitle(QString::fromLatin1(face::kStationTitle));
    setWindowIcon(QIcon(QStringLiteral(":/vzupdater/vzupdater.png")));
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->addLayout(BuildHeader(client));

    auto* tiles = new QWidget;
    tilesGrid_ = new QGridLayout(tiles);
    BuildTiles();
    auto* scroll = new QScrollArea(client);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(tiles);
    layout->addWidget(scroll, 1);
    setCentralWidget(client);
    resize(face::kStationWidth, face::kStationHeight);
    DrawHeader();
    DrawButtons();
}

void TStationFich::BuildTiles() {
    for (TStationTile* tile : Tiles)
        delete tile;
    Tiles.clear();
    QWidget* tiles = tilesGrid_->parentWidget();
    const int columns = face::TileColumns(static_cast<int>(arguments_.ports.size()));
    for (std::size_t port = 0; port < arguments_.ports.size(); ++port) {
        auto* tile = new TStationTile(QString::fromStdString(face::PortTitle(arguments_.ports[port])), tiles);
        tilesGrid_->addWidget(tile, static_cast<int>(port) / columns, static_cast<int>(port) % columns);
        Tiles.push_back(tile);
    }
    views_.assign(arguments_.ports.size(), PortView{});
}

bool TStationFich::ChoosePorts() {
    TStationPortDlg dialog(listPorts_ ? listPorts_() : ListPorts(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen().empty()) return false;
    arguments_.ports = dialog.Chosen();
    BuildTiles();
    return true;
}

TStationFich::~TStationFich() {
    // The station's links end before the window's timers and queued calls go.
    station_.reset();
}

QLayout* TStationFich::BuildHeader(QWidget* client) {
    auto* header = new QHBoxLayout;
    auto* lines = new QGridLayout;
    package_ = HeaderLabel(client);
    people_ = HeaderLabel(client);
    totals_ = HeaderLabel(client);
    clock_ = HeaderLabel(client);
    report_ = HeaderLabel(client);
    QFont bold = totals_->font();
    bold.setBold(true);
    totals_->setFont(bold);
    lines->addWidget(package_, 0, 0, 1, 2);
    lines->addWidget(people_, 1, 0);
    lines->addWidget(report_, 1, 1);
    lines->addWidget(totals_, 2, 0);
    lines->addWidget(clock_, 2, 1);
    header->addLayout(lines, 1);
    Start = new QPushButton(QString::fromLatin1(face::kStationStart), client);
    Start->setObjectName(QString::fromLatin1(face::kStationStartName));
    Stop = new QPushButton(QString::fromLatin1(face::kStationStop), client);
    Stop->setObjectName(QString::fromLatin1(face::kStationStopName));
    for (QPushButton* button : {Start, Stop}) {
        // Enter presses the focused button, as Space does.
        button->setAutoDefault(true);
        button->setMinimumSize(140, 44);
        header->addWidget(button);
    }
    connect(Start, &QPushButton::clicked, this, &TStationFich::StartClick);
    connect(Stop, &QPushButton::clicked, this, &TStationFich::StopClick);
    return header;
}

void TStationFich::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (Start->isEnabled()) Start->setFocus();
}

std::unique_ptr<TStationLoop::TTimer> TStationFich::NewTimer(std::function<void()> fire) {
    return std::make_unique<TQtStationTimer>(std::move(fire));
}

void TStationFich::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(
        this, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

void TStationFich::StartClick() {
    if (station_ && !station_->Done()) return;
    station_.reset();
    // Without --port the operator picks the ports among those found, once.
    if (arguments_.ports.empty() && !ChoosePorts()) return;
    TStationSettings settings;
    if (const auto problem = face::FillStationSettings(arguments_, context_, settings)) {
        ShowRefusal(Text(*problem));
        return;
    }
    session_ = settings.session;
    views_.assign(arguments_.ports.size(), PortView{});
    refusalShown_ = false;
    TStationLoop& loop = *this;
    TStationEvents& events = *this;
    station_ = std::make_unique<TStation>(std::move(settings), loop, events);
    if (!station_->OpenReport()) {
        const QString reason =
            Text("Cannot write the report " + arguments_.report + ": " + station_->ReportReason());
        station_.reset();
        ShowRefusal(reason);
        return;
    }
    elapsed_.start();
    elapsedMs_ = 0;
    station_->Start();
    DrawButtons();
    for (std::size_t port = 0; port < Tiles.size(); ++port)
        DrawPort(port);
    DrawHeader();
}

void TStationFich::StopClick() {
    if (!station_ || station_->Done()) return;
    if (!ConfirmStop(face::kStationStopQuestion)) return;
    if (station_) station_->StopAll("stopped by the operator");
}

bool TStationFich::AnyUpdating() const {
    if (!station_) return false;
    for (std::size_t port = 0; port < station_->PortCount(); ++port)
        if (station_->Port(port).state == TPortState::Updating) return true;
    return false;
}

bool TStationFich::ConfirmStop(const char* question) {
    if (!AnyUpdating()) return true;
    return QMessageBox::question(this, QString::fromLatin1(face::kStationStopTitle),
                                 QString::fromLatin1(question), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TStationFich::closeEvent(QCloseEvent* event) {
    if (!ConfirmStop(face::kStationCloseQuestion)) {
        event->ignore();
        return;
    }
    if (station_ && !station_->Done()) {
        station_->StopAll("stopped: the window was closed");
        // The stopped devices' records are written as their runs end.
        QElapsedTimer waited;
        waited.start();
        while (!station_->Done() && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    event->accept();
}

void TStationFich::ShowRefusal(const QString& text, const char* title) {
    emit Refused(text);
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(title), text, QMessageBox::Ok, this);
    box.exec();
    DrawButtons();
}

void TStationFich::DrawButtons() {
    const bool running = station_ && !station_->Done();
    const bool hadFocus = Start->hasFocus() || Stop->hasFocus();
    Start->setEnabled(!running);
    Stop->setEnabled(running);
    if (hadFocus || !focusWidget()) (running ? Stop : Start)->setFocus();
}

void TStationFich::DrawHeader() {
    package_->setText(Text(face::PackageLine(
        session_.packageRoot.empty() ? face::PackageRoot(arguments_, context_.places) : session_.packageRoot,
        session_.packageSha256)));
    people_->setText(Text(
        face::PeopleLine(session_.station.empty()
                             ? (arguments_.stationName.empty() ? context_.hostName : arguments_.stationName)
                             : session_.station,
                         arguments_.operatorName)));
    long completed = 0, failed = 0, stopped = 0;
    for (std::size_t port = 0; station_ && port < station_->PortCount(); ++port) {
        completed += station_->Port(port).completed;
        failed += station_->Port(port).failed;
        stopped += station_->Port(port).stopped;
    }
    totals_->setText(QString::fromStdString(face::TotalsLine(completed, failed, stopped)));
    if (station_ && !station_->Done() && elapsed_.isValid()) elapsedMs_ = elapsed_.elapsed();
    clock_->setText(QString::fromStdString(face::ElapsedLine(static_cast<long>(elapsedMs_ / 1000))));
    report_->setText(Text(face::ReportLine(arguments_.report)));
}

void TStationFich::DrawPort(std::size_t port) {
    TStationTile* tile = Tiles[port];
    const PortView& view = views_[port];
    if (!station_) {
        tile->ShowState(face::TileLook::Idle);
        return;
    }
    const TPortStatus& status = station_->Port(port);
    switch (status.state) {
    case TPortState::Opening:
        // Between two devices the port is reopened: it waits, as far as the operator is concerned.
        tile->ShowState(status.everOpened ? face::TileLook::Waiting : face::TileLook::Opening);
        break;
    case TPortState::Waiting:
        tile->ShowState(face::TileLook::Waiting);
        break;
    case TPortState::Updating: {
        const QString identity = IdentityText(status.device);
        tile->ShowState(face::TileLook::Updating,
                        identity.isEmpty() ? QStringLiteral("a device calling") : identity);
        break;
    }
    case TPortState::Gone:
        tile->ShowState(face::TileLook::Gone);
        break;
    case TPortState::Finished: {
        // A port that took its count tells how its last device ended; one the operator
        // stopped earlier says so.
        const bool counted = arguments_.count > 0 && status.Attempted() >= arguments_.count;
        tile->ShowState(!counted && (station_->Stopped() || station_->Refused()) ? face::TileLook::Stopped
                        : view.last.isEmpty()                                    ? face::TileLook::Finished
                                                                                 : view.lastLook);
        break;
    }
    case TPortState::Unusable:
        tile->ShowState(face::TileLook::Unusable);
        break;
    }
    tile->ShowPercent(status.state == TPortState::Updating                                 ? status.percent
                      : view.lastLook == face::TileLook::Completed && !view.last.isEmpty() ? 100
                                                                                           : 0);
    tile->ShowCounts(status.completed, status.failed, status.stopped);
    tile->ShowLast(view.last, view.lastLook);
}

void TStationFich::PortChanged(std::size_t port) {
    DrawPort(port);
    DrawHeader();
    DrawButtons();
}

void TStationFich::StatusLine(std::size_t port, const std::string& line) {
    Tiles[port]->ShowActivity(Text(line));
}

void TStationFich::Advice(std::size_t port, const std::string& text) {
    PortView& view = views_[port];
    const QString advice = Text(text);
    // Advice after the device's end belongs to its result.
    if (station_ && station_->Port(port).state != TPortState::Updating && !view.last.isEmpty())
        view.last += QStringLiteral("\nAdvice: ") + advice;
    else
        view.advice += (view.advice.isEmpty() ? QString() : QStringLiteral("\n")) + advice;
    DrawPort(port);
}

void TStationFich::DeviceIdentified(std::size_t port, const TDeviceIdentity& /*identity*/) {
    // The last result stays until the next device is known.
    views_[port].last.clear();
    views_[port].lastLook = face::TileLook::Idle;
    DrawPort(port);
}

void TStationFich::DeviceEnded(std::size_t port, const TDeviceRecord& record, const TRunEnd& end) {
    PortView& view = views_[port];
    QString identity = IdentityText(record.identity);
    if (identity.isEmpty()) identity = QStringLiteral("Unidentified device");
    switch (record.result) {
    case TDeviceResult::Completed:
        view.lastLook = face::TileLook::Completed;
        view.last = QStringLiteral("completed ") + identity +
                    QStringLiteral(" in %1 s").arg(static_cast<long>(record.seconds));
        break;
    case TDeviceResult::Failed:
    case TDeviceResult::Stopped: {
        const bool stopped = record.result == TDeviceResult::Stopped;
        view.lastLook = stopped ? face::TileLook::Stopped : face::TileLook::Failed;
        view.last = (stopped ? QStringLiteral("stopped ") : QStringLiteral("failed ")) + identity;
        if (end.reason == TRunEndReason::PortFailed)
            view.last += QStringLiteral("\nReason: ") + Text(PortFailureText(end));
        else if (record.error)
            view.last += QStringLiteral("\nReason: ") + Text(*record.error);
        break;
    }
    }
    if (!view.advice.isEmpty()) view.last += QStringLiteral("\nAdvice: ") + view.advice;
    view.advice.clear();
    Tiles[port]->ShowActivity({});
    DrawPort(port);
    DrawHeader();
}

void TStationFich::PortUnusable(std::size_t port, const TRunEnd& end) {
    views_[port].last = Text(PortFailureText(end));
    views_[port].lastLook = face::TileLook::Unusable;
    Tiles[port]->ShowActivity({});
    DrawPort(port);
    if (refusalShown_) return;
    refusalShown_ = true;
    // The box waits for the operator outside the station's own call.
    const QString text =
        QStringLiteral("The station stopped: a port cannot be opened.\n") + views_[port].last;
    QTimer::singleShot(0, this, [this, text] { ShowRefusal(text); });
}

void TStationFich::AdapterGone(std::size_t port, const TRunEnd& end) {
    Tiles[port]->ShowActivity(Text(PortFailureText(end)) + QStringLiteral(": waiting for the adapter"));
    DrawPort(port);
}

void TStationFich::AdapterBack(std::size_t port) {
    Tiles[port]->ShowActivity(QStringLiteral("The adapter is back: waiting for a device"));
    DrawPort(port);
}

void TStationFich::PortGaveUp(std::size_t port, long failures) {
    Tiles[port]->ShowActivity(
        QStringLiteral("%1 devices in a row failed: check the fixture and the cable").arg(failures));
    DrawPort(port);
}

void TStationFich::TranscriptFailed(std::size_t port, const std::string& path) {
    Tiles[port]->ShowActivity(QStringLiteral("Cannot write the log file ") + Text(path));
}

void TStationFich::ReportFailed(const std::string& reason) {
    const QString text =
        Text("Cannot write the report " + arguments_.report + ": " + reason + ": no further device is taken");
    QTimer::singleShot(0, this, [this, text] { ShowRefusal(text, face::kStationReportTitle); });
}

void TStationFich::Heartbeat() {
    for (std::size_t port = 0; port < Tiles.size(); ++port)
        DrawPort(port);
    DrawHeader();
    DrawButtons();
}

} // namespace vz
