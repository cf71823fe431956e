#include "app/video_wiring.h"
#include <QRadioButton>
#include "video/video_link.h"
#include "video/video_page.h"
#include "video/video_surface.h"
#include "views/graph_tab.h"
#include "views/graph_tab_controls.h"
#include "views/play_clock.h"

namespace vel {

std::unique_ptr<VideoLink> MakeVideoLink(Session& session, Prompts& prompts, GraphTab& tab,
                                         video::TAudioDriver audio) {
    auto* page = new VideoPage;
    auto player = std::make_unique<FFVideoPlayer>(page->Surface()->Sink(), audio);
    player->Engine().ShownSize = page->Surface()->ShownSize();
    auto link = std::make_unique<VideoLink>(session, prompts, std::move(player));
    page->Attach(*link);
    tab.SetVideoWidget(page);
    return link;
}

void WireVideoLink(VideoLink& link, GraphTab& tab, GraphTabControls& controls) {
    PlayClock& clock = controls.playClock();
    link.drawCurSec = [&clock] { clock.DrawCurSec(); };
    link.playClick = [&clock] { clock.SpeedButtonPlayClick(); };
    link.forceX1 = [&tab] { tab.RadioButtonX1->setChecked(true); };
}

} // namespace vel
