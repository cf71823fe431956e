#pragma once
// The widget the player draws into: it keeps the last picture the player
// handed over (from any thread) and paints it centred with its aspect ratio.
#include <QWidget>
#include <memory>
#include <mutex>
#include "video/engine/player.h"

namespace vel {

class VideoSurface : public QWidget {
    Q_OBJECT
public:
    explicit VideoSurface(QWidget* parent = nullptr);
    // The player's picture sink; safe from the player's threads.
    video::TPictureSink Sink();
    // The picture shown now (null before the first).
    std::shared_ptr<const video::TVideoPicture> Picture() const;
    // Where the picture lies in the widget.
    QRect PictureRect() const;
    // The size the pictures are shown at, for the player to convert them to
    // (device pixels; 0 x 0 while the widget has not been laid out).
    std::shared_ptr<const video::TShownSize> ShownSize() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetPicture(std::shared_ptr<const video::TVideoPicture> pic);
    mutable std::mutex mutex_;
    std::shared_ptr<const video::TVideoPicture> picture_;
    std::shared_ptr<bool> alive_;
    std::shared_ptr<video::TShownSize> shown_ = std::make_shared<video::TShownSize>();
};

} // namespace vel
