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

TStationTile::TStationTile(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(face::kTileMinWidth, face::kTileMinHeight);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
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
}

void TStationTile::Show(const face::TileView& view) {
    const auto set = [](QLabel* label, const std::string& text) {
        const QString shown = QString::fromStdString(text);
        if (label->text() != shown) label->setText(shown);
    };
    look_ = view.look;
    set(title_, view.title);
    set(state_, view.state);
    Paint(state_, view.look);
    if (bar_->value() != view.percent) bar_->setValue(view.percent);
    set(activity_, view.activity);
    set(counts_, view.counts);
    set(last_, view.last);
    if (view.last.empty())
        last_->setPalette(palette());
    else
        Paint(last_, view.lastLook);
}

QString TStationTile::StateText() const {
    return state_->text();
}

QString TStationTile::LastText() const {
    return last_->text();
}

} // namespace vz
