#include "app/gui/station_tile.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace vz {

namespace {

QColor ColourOf(face::Colour colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

void Paint(QWidget* widget, face::TileLook look) {
    const face::TileStyle& style = face::StyleOf(look);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ColourOf(style.background));
    palette.setColor(QPalette::WindowText, ColourOf(style.text));
    widget->setPalette(palette);
}

} // namespace

TStationTile::TStationTile(const QString& title, QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(face::kTileMinWidth, face::kTileMinHeight);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(title, this);
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title_->setFont(bold);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("State"));
    state_->setAutoFillBackground(true);
    state_->setMargin(6);
    state_->setWordWrap(true);
    // The state is read from a distance, across the bench.
    QFont stateFont = state_->font();
    stateFont.setBold(true);
    stateFont.setPointSizeF(stateFont.pointSizeF() * 1.3);
    state_->setFont(stateFont);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    activity_ = new QLabel(this);
    activity_->setWordWrap(true);
    counts_ = new QLabel(this);
    last_ = new QLabel(this);
    last_->setObjectName(QStringLiteral("Last"));
    last_->setWordWrap(true);
    last_->setAutoFillBackground(true);
    last_->setMargin(4);
    last_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    last_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(title_);
    layout->addWidget(state_);
    layout->addWidget(bar_);
    layout->addWidget(activity_);
    layout->addWidget(counts_);
    layout->addWidget(last_);
    layout->addStretch(1);
    ShowState(face::TileLook::Idle);
    ShowCounts(0, 0, 0);
    ShowLast({}, face::TileLook::Idle);
}

void TStationTile::ShowState(face::TileLook look, const QString& detail) {
    look_ = look;
    QString text = QString::fromUtf8(face::StyleOf(look).words);
    if (!detail.isEmpty()) text += QStringLiteral("  ") + detail;
    if (state_->text() != text) state_->setText(text);
    Paint(state_, look);
}

void TStationTile::ShowPercent(int percent) {
    if (bar_->value() != percent) bar_->setValue(percent);
}

void TStationTile::ShowActivity(const QString& line) {
    activity_->setText(line);
}

void TStationTile::ShowCounts(long completed, long failed, long stopped) {
    counts_->setText(QString::fromStdString(face::TileCounts(completed, failed, stopped)));
}

void TStationTile::ShowLast(const QString& text, face::TileLook look) {
    last_->setText(text.isEmpty() ? QString() : QStringLiteral("Last: ") + text);
    if (text.isEmpty())
        last_->setPalette(palette());
    else
        Paint(last_, look);
}

QString TStationTile::StateText() const {
    return state_->text();
}

QString TStationTile::LastText() const {
    return last_->text();
}

} // namespace vz
