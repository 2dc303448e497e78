#include "app/gui/station_fich.h"

#include "app/face_data/station_description.h"
#include "app/gui/station_port_dlg.h"
#include "app/gui/station_tile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
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
    return QString::fromStdString(text);
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
    : QMainWindow(parent), board_(std::move(arguments), std::move(context), *this) {
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
    const int columns = face::TileColumns(static_cast<int>(board_.PortCount()));
    for (std::size_t port = 0; port < board_.PortCount(); ++port) {
        auto* tile = new TStationTile(tiles);
        tilesGrid_->addWidget(tile, static_cast<int>(port) / columns, static_cast<int>(port) % columns);
        Tiles.push_back(tile);
        DrawTile(port);
    }
}

bool TStationFich::ChoosePorts() {
    TStationPortDlg dialog(listPorts_ ? listPorts_() : ListPorts(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen().empty()) return false;
    board_.SetPorts(dialog.Chosen());
    BuildTiles();
    return true;
}

TStationFich::~TStationFich() {
    // The station's links end before the window's timers and queued calls go.
    board_.Close();
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
    if (board_.Running()) return;
    // Without --port the operator picks the ports among those found, once.
    if (board_.PortCount() == 0 && !ChoosePorts()) return;
    TStationLoop& loop = *this;
    if (const auto refusal = board_.Start(loop)) ShowRefusal(Text(*refusal));
}

void TStationFich::StopClick() {
    if (!board_.Running()) return;
    if (!ConfirmStop(face::kStationStopQuestion)) return;
    board_.StopAll("stopped by the operator");
}

bool TStationFich::ConfirmStop(const char* question) {
    if (!board_.AnyUpdating()) return true;
    return QMessageBox::question(this, QString::fromLatin1(face::kStationStopTitle),
                                 QString::fromLatin1(question), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TStationFich::closeEvent(QCloseEvent* event) {
    if (!ConfirmStop(face::kStationCloseQuestion)) {
        event->ignore();
        return;
    }
    if (board_.Running()) {
        board_.StopAll("stopped: the window was closed");
        // The stopped devices' records are written as their runs end.
        QElapsedTimer waited;
        waited.start();
        while (board_.Running() && waited.elapsed() < 5000)
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

void TStationFich::ShowBoxLater(const std::string& text, const char* title) {
    // The box waits for the operator outside the station's own call.
    QTimer::singleShot(0, this, [this, text = Text(text), title] { ShowRefusal(text, title); });
}

void TStationFich::DrawButtons() {
    const bool running = board_.Running();
    const bool hadFocus = Start->hasFocus() || Stop->hasFocus();
    Start->setEnabled(!running);
    Stop->setEnabled(running);
    if (hadFocus || !focusWidget()) (running ? Stop : Start)->setFocus();
}

void TStationFich::DrawHeader() {
    const face::HeaderView header = board_.Header();
    package_->setText(Text(header.package));
    people_->setText(Text(header.people));
    totals_->setText(Text(header.totals));
    clock_->setText(Text(header.elapsed));
    report_->setText(Text(header.report));
}

void TStationFich::DrawTile(std::size_t port) {
    if (port < Tiles.size()) Tiles[port]->Show(board_.Tile(port));
}

} // namespace vz
