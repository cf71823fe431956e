#pragma once
// The "ビデオ" page: the picture panel, the strip of ten buttons, three
// labels, the position bar and the G box, wired to a VideoLink.
#include <QWidget>
#include <cstdint>

class QHBoxLayout;
class QLabel;
class QPainter;
class QToolButton;

namespace vel {

class VideoLink;
class VideoSurface;

// The position bar: red frame and fill over the played part.
void DrawVideoBar(QPainter& p, QSize size, int64_t currentPts, int64_t duration);
// The G box: circles for 1 and 2 G and the point at (lateG, logiG).
void DrawVideoG(QPainter& p, QSize size, bool show, double lateG, double logiG);

class VideoPage : public QWidget {
    Q_OBJECT
public:
    explicit VideoPage(QWidget* parent = nullptr);
    // The picture panel (PanelVideo); the player's sink comes from it.
    VideoSurface* Surface() const { return PanelVideo; }
    // Connects the buttons to the link and the link's read-outs to the page.
    void Attach(VideoLink& link);
    VideoLink* Link() const { return link_; }

    VideoSurface* PanelVideo;
    QToolButton *SpeedButtonClrVideo, *SpeedButtonOpenVideo, *SpeedButtonVideoToSta, *SpeedButtonPauseVideo,
        *SpeedButtonStepVideo, *SpeedButtonPTSb, *SpeedButtonSetSta, *SpeedButtonOpenVidInf, *SpeedButtonSaveVidInf,
        *SpeedButtonVideoReload;
    QWidget* PaintBoxVideoBar;
    QWidget* PaintBoxVideoG;
    QLabel* LabelPTS;
    QLabel* LabelVideoDttm;
    QLabel* LabelSpdWithVideo;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void ModeChanged(bool synced);
    // The labels share the buttons' row when the page is wide enough for
    // them and a usable position bar, else they get a row of their own.
    void PlaceLabels();
    QHBoxLayout* row1_ = nullptr;
    QHBoxLayout* row2_ = nullptr;
    VideoLink* link_ = nullptr;
};

} // namespace vel
