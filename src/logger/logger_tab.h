#pragma once
// The "ロガー" tab: the logger's controls, the status list and the sentence
// monitor; the status list starts hidden.
#include <QWidget>

class QFrame;
class QListWidget;
class QVBoxLayout;

namespace vel {

class LoggerControls;
class LoggerLink;
class StatusList;

class LoggerTab : public QWidget {
    Q_OBJECT
public:
    explicit LoggerTab(StatusList& statusList, QWidget* parent = nullptr);
    ~LoggerTab() override;

    // Shows or hides the status list and the sentence monitor together.
    void PanelViewOnOffDblClick();
    // The status list's own shown state, whether or not the tab is in front.
    bool StatusListShown() const;
    // The logger's controls above the lists, following link; the sentence
    // monitor shows the link's sentences.
    void AttachLink(LoggerLink& link);
    // Before the link goes away.
    void DetachLink();
    LoggerControls* Controls() const { return controls_; }

    QFrame* PanelViewOnOff;
    QListWidget* ListBox1;   // status list
    QListWidget* ListBox2;   // sentence monitor
    // Where the logger's controls go, above the lists.
    QVBoxLayout* ControlsLayout;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    StatusList& statusList_;
    LoggerControls* controls_ = nullptr;
    LoggerLink* link_ = nullptr;
};

} // namespace vel
