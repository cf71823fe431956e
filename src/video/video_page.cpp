#include "video/video_page.h"
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include "common/datetime.h"
#include "platform/tool_buttons.h"
#include "video/video_link.h"
#include "video/video_surface.h"

namespace vel {

namespace {

const QString BarHint = QStringLiteral("クリック : 再生位置指定");

QWidget* PaintBox(QWidget* parent, const char* name, int w, int h) {
    auto* box = new QWidget(parent);
    box->setObjectName(QLatin1String(name));
    box->setMinimumSize(w, h);
    return box;
}

} // namespace

void DrawVideoBar(QPainter& p, QSize size, int64_t currentPts, int64_t duration) {
    const int w = size.width(), h = size.height();
    p.fillRect(QRect(QPoint(0, 0), size), QColor(240, 240, 240));
    if (duration <= 0) return;
    const QColor red(255, 0, 0);
    p.setPen(red);
    p.setBrush(Qt::NoBrush);
    p.drawRect(4, 4, w - 8 - 1, h - 8 - 1);
    // A video shorter than 0.1 s has no tenths to count: the fill goes by
    // microseconds then; the fill never leaves the frame.
    const int64_t cur = std::clamp<int64_t>(currentPts, 0, duration);
    const int64_t tenths = duration / 100000;
    const int64_t f = tenths > 0 ? (cur / 100000) * (w - 8) / tenths : cur * (w - 8) / duration;
    p.fillRect(4, 4, static_cast<int>(std::clamp<int64_t>(f, 0, w - 8)), h - 8, red);
}

void DrawVideoG(QPainter& p, QSize size, bool show, double lateG, double logiG) {
    const int W = size.width(), H = size.height();
    p.fillRect(QRect(QPoint(0, 0), size), QColor(240, 240, 240));
    if (!show) return;
    const int cx = W / 2, cy = H / 2 + 2, r = (cy - 4) / 2;
    const QColor grey(224, 224, 224);
    p.fillRect(QRect(QPoint(4, 5), QPoint(W - 4 - 1, H - 1 - 1)), grey);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPoint(cx, cy), 2 * r, 2 * r);
    p.setBrush(grey);
    p.drawEllipse(QPoint(cx, cy), r, r);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(4, 5), QPoint(W - 4 - 1, H - 1 - 1)));
    p.drawLine(cx, 5, cx, H - 1);
    p.drawLine(4, cy, W - 4, cy);
    const int x = cx + static_cast<int>(std::nearbyint(r * lateG));
    const int y = cy + static_cast<int>(std::nearbyint(r * logiG));
    p.setPen(Qt::red);
    p.drawEllipse(QRect(QPoint(x - 2, y - 2), QPoint(x + 3 - 1, y + 3 - 1)));
    p.drawLine(x, y, cx, cy);
}

VideoPage::VideoPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheetVideo"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    PanelVideo = new VideoSurface(this);
    PanelVideo->setObjectName(QStringLiteral("PanelVideo"));
    PanelVideo->setAutoFillBackground(true);
    QPalette pal = PanelVideo->palette();
    pal.setColor(QPalette::Window, Qt::white);
    PanelVideo->setPalette(pal);
    v->addWidget(PanelVideo, 1);

    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("PanelVideoStrip"));
    auto* sh = new QHBoxLayout(strip);
    sh->setContentsMargins(2, 2, 2, 2);
    sh->setSpacing(2);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(0);
    row1_ = new QHBoxLayout;
    row1_->setSpacing(2);
    row2_ = new QHBoxLayout;
    row2_->setSpacing(8);
    rows->addLayout(row1_);
    rows->addLayout(row2_);
    QHBoxLayout* h = row1_;
    SpeedButtonClrVideo = ToolButton(strip, h, "SpeedButtonClrVideo", QStringLiteral("×"), QStringLiteral("ビデオを消す"));
    SpeedButtonOpenVideo = ToolButton(strip, h, "SpeedButtonOpenVideo", QStringLiteral("開"), QStringLiteral("ビデオ読込"));
    SpeedButtonVideoToSta = ToolButton(strip, h, "SpeedButtonVideoToSta", QStringLiteral("|◀"), QStringLiteral("ビデオ先頭へ"));
    SpeedButtonPauseVideo = ToolButton(strip, h, "SpeedButtonPauseVideo", QStringLiteral("▶"), QStringLiteral("ビデオ再生／停止"));
    SpeedButtonStepVideo = ToolButton(strip, h, "SpeedButtonStepVideo", QStringLiteral("▶|"), QStringLiteral("ビデオコマ送り"));
    SpeedButtonPTSb = ToolButton(strip, h, "SpeedButtonPTSb", QStringLiteral("◀◀"), QStringLiteral("前のキーフレームへ"));
    SpeedButtonSetSta = ToolButton(strip, h, "SpeedButtonSetSta", QStringLiteral("同"), QStringLiteral("同期／フリー"));
    SpeedButtonOpenVidInf = ToolButton(strip, h, "SpeedButtonOpenVidInf", QStringLiteral("読"), QStringLiteral("同期情報の読込"));
    SpeedButtonSaveVidInf = ToolButton(strip, h, "SpeedButtonSaveVidInf", QStringLiteral("保"), QStringLiteral("同期情報の保存"));
    SpeedButtonVideoReload = ToolButton(strip, h, "SpeedButtonVideoReload", QStringLiteral("再"), QStringLiteral("ビデオ再読込"));
    SpeedButtonSaveVidInf->setEnabled(false);
    // Flat buttons that never take the keyboard from the Space/F/B poll.
    for (QToolButton* b : strip->findChildren<QToolButton*>()) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
    }
    // Each label as wide as its longest text, so none is cut once synced.
    auto label = [&](const char* name, const QString& longest) {
        auto* l = new QLabel(QStringLiteral("."), strip);
        l->setObjectName(QLatin1String(name));
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(longest) + 2);
        h->addWidget(l);
        return l;
    };
    LabelPTS = label("LabelPTS", QStringLiteral("8888.88 / 8888.88 sec"));
    LabelVideoDttm = label("LabelVideoDttm", QStringLiteral("8888/88/88 88:88:88.888 ->"));
    LabelSpdWithVideo = label("LabelSpdWithVideo", QStringLiteral("888.88km/h"));
    LabelSpdWithVideo->setStyleSheet(QStringLiteral("color: red"));
    row2_->addStretch();
    PaintBoxVideoBar = PaintBox(strip, "PaintBoxVideoBar", 120, 22);
    PaintBoxVideoBar->setToolTip(BarHint);
    h->addWidget(PaintBoxVideoBar, 1);
    sh->addLayout(rows, 1);
    PaintBoxVideoG = PaintBox(strip, "PaintBoxVideoG", 60, 60);
    PaintBoxVideoG->setToolTip(QStringLiteral("YG : +/-2.0 , XG : +/-4.0"));
    sh->addWidget(PaintBoxVideoG);
    v->addWidget(strip);
    PlaceLabels();
    PaintBoxVideoBar->installEventFilter(this);
    PaintBoxVideoG->installEventFilter(this);
}

namespace {
// The position bar is usable from this width on.
constexpr int BarUsableWidth = 160;
} // namespace

void VideoPage::PlaceLabels() {
    QLabel* const labels[] = {LabelPTS, LabelVideoDttm, LabelSpdWithVideo};
    int need = BarUsableWidth + PaintBoxVideoG->minimumWidth() + 4 + 2 * 2;
    for (QToolButton* b : {SpeedButtonClrVideo, SpeedButtonOpenVideo, SpeedButtonVideoToSta, SpeedButtonPauseVideo,
                           SpeedButtonStepVideo, SpeedButtonPTSb, SpeedButtonSetSta, SpeedButtonOpenVidInf,
                           SpeedButtonSaveVidInf, SpeedButtonVideoReload})
        need += b->sizeHint().width() + row1_->spacing();
    for (QLabel* l : labels) need += l->minimumWidth() + row1_->spacing();
    const bool ownRow = width() < need;
    if ((ownRow ? row2_ : row1_)->indexOf(LabelPTS) >= 0) return;
    for (QLabel* l : labels) {
        row1_->removeWidget(l);
        row2_->removeWidget(l);
    }
    for (int i = 0; i < 3; ++i) {
        if (ownRow) row2_->insertWidget(i, labels[i]);
        else row1_->insertWidget(row1_->indexOf(PaintBoxVideoBar), labels[i]);
    }
}

void VideoPage::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    PlaceLabels();
}

void VideoPage::Attach(VideoLink& link) {
    link_ = &link;
    connect(SpeedButtonClrVideo, &QToolButton::clicked, &link, &VideoLink::SpeedButtonClrVideoClick);
    connect(SpeedButtonOpenVideo, &QToolButton::clicked, &link, &VideoLink::SpeedButtonOpenVideoClick);
    connect(SpeedButtonVideoToSta, &QToolButton::clicked, &link, &VideoLink::SpeedButtonVideoToStaClick);
    connect(SpeedButtonPauseVideo, &QToolButton::clicked, &link, &VideoLink::SpeedButtonPauseVideoClick);
    connect(SpeedButtonStepVideo, &QToolButton::clicked, &link, &VideoLink::SpeedButtonStepVideoClick);
    connect(SpeedButtonPTSb, &QToolButton::clicked, &link, &VideoLink::SpeedButtonPTSbClick);
    connect(SpeedButtonSetSta, &QToolButton::clicked, &link, &VideoLink::SpeedButtonSetStaClick);
    connect(SpeedButtonOpenVidInf, &QToolButton::clicked, &link, &VideoLink::SpeedButtonOpenVidInfClick);
    connect(SpeedButtonSaveVidInf, &QToolButton::clicked, &link, &VideoLink::SpeedButtonSaveVidInfClick);
    connect(SpeedButtonVideoReload, &QToolButton::clicked, &link, &VideoLink::SpeedButtonVideoReloadClick);
    link.repaintReadouts = [this] {
        PaintBoxVideoBar->update();
        PaintBoxVideoG->update();
        LabelSpdWithVideo->setText(link_->SpdWithVideoText());
    };
    link.setPauseGlyph = [this](bool playing) {
        SpeedButtonPauseVideo->setText(playing ? QStringLiteral("❚❚") : QStringLiteral("▶"));
    };
    link.setPtsText = [this](const QString& t) { LabelPTS->setText(t); };
    link.modeChanged = [this](bool synced) { ModeChanged(synced); };
    link.clearPicture = [this] { PanelVideo->Sink()(nullptr); };
}

void VideoPage::ModeChanged(bool synced) {
    for (QToolButton* b : {SpeedButtonOpenVideo, SpeedButtonVideoToSta, SpeedButtonPauseVideo, SpeedButtonStepVideo,
                           SpeedButtonPTSb, SpeedButtonOpenVidInf})
        b->setEnabled(!synced);
    SpeedButtonSaveVidInf->setEnabled(synced);
    PaintBoxVideoBar->setToolTip(synced ? QString() : BarHint);
    if (synced && link_) {
        const auto& st = link_->state();
        const QString sta = FormatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss.zzz"), st.VideoStaDtTm);
        LabelVideoDttm->setText(sta + QStringLiteral(" ->"));
        LabelVideoDttm->setToolTip(sta + QStringLiteral(" - ") +
                                   FormatDateTime(QStringLiteral("hh:nn:ss.zzz"), st.VideoEndDtTm));
    } else {
        LabelVideoDttm->setText(QStringLiteral("."));
        LabelVideoDttm->setToolTip(QString());
    }
}

bool VideoPage::eventFilter(QObject* watched, QEvent* e) {
    if (!link_) return QWidget::eventFilter(watched, e);
    if (watched == PaintBoxVideoBar && e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        link_->PaintBoxVideoBarMouseDown(me->button() == Qt::LeftButton, static_cast<int>(me->position().x()),
                                         PaintBoxVideoBar->width());
        return true;
    }
    if (e->type() == QEvent::Paint && (watched == PaintBoxVideoBar || watched == PaintBoxVideoG)) {
        auto* w = static_cast<QWidget*>(watched);
        QPixmap pm(w->size());
        {
            QPainter p(&pm);
            if (watched == PaintBoxVideoBar) {
                DrawVideoBar(p, w->size(), link_->CurrentPts(), link_->VideoDuration());
            } else {
                DrawVideoG(p, w->size(), link_->ShowsG(), link_->LateG(), link_->LogiG());
            }
        }
        QPainter(w).drawPixmap(0, 0, pm);
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace vel
