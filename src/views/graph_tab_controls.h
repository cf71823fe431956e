#pragma once
// Wires the "グラフ" tab to its commands: the play clock and its buttons, the
// view switches and zooms, the play keys and the wheel, the splitters, and
// the main tabs' change rules. The window makes one and keeps it.
#include <functional>
#include <memory>
#include <QObject>
#include "model/services.h"
#include "model/session.h"

class QTabWidget;
class QWidget;

namespace vel {

class GraphTab;
class KeyPoll;
class MonotonicClock;
class PlayClock;
class Prompts;
class ViewCommands;

class GraphTabControls : public QObject {
    Q_OBJECT
public:
    // pageControl1: the main tabs ("グラフ" first); window: the main window.
    // setSectGrid refills the sector table after the display is cleared.
    // clock: null for the steady clock.
    GraphTabControls(GraphTab& tab, QTabWidget* pageControl1, QWidget* window, Session& session,
                     const Services& services, Prompts& prompts, std::function<void()> setSectGrid,
                     MonotonicClock* clock = nullptr);
    ~GraphTabControls() override;

    PlayClock& playClock() { return *clock_; }
    ViewCommands& viewCommands() { return *view_; }
    KeyPoll& keyPoll() { return *keys_; }
    // Rebuilds the nine read-out labels.
    void SetDataStr();
    // Shows the view state on the switch panels and axis tabs.
    void ShowViewState();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void WirePlay();
    void WireView();
    void WireLayout();
    bool Wheel(bool in, QPoint globalPos);

    GraphTab& tab_;
    QTabWidget* pageControl1_;
    Session& s_;
    Services services_;
    std::unique_ptr<PlayClock> clock_;
    std::unique_ptr<ViewCommands> view_;
    std::unique_ptr<KeyPoll> keys_;
    QList<int> splitter1Sizes_, splitter2Sizes_;
};

} // namespace vel
