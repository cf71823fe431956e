#pragma once
// Makes the video link with its "ビデオ" page for the main window and ties it
// to the graph tab's play clock.
#include <memory>
#include "video/engine/player.h"

namespace vel {

class GraphTab;
class GraphTabControls;
class Prompts;
class VideoLink;
struct Session;

// The link drawing into a new page, which replaces the placeholder of the
// graph tab's "ビデオ" page.
std::unique_ptr<VideoLink> MakeVideoLink(Session& session, Prompts& prompts, GraphTab& tab,
                                         video::TAudioDriver audio = video::TAudioDriver::adDefault);
// The link's calls into the play clock: DrawCurSec, play/stop, the x1 speed.
void WireVideoLink(VideoLink& link, GraphTab& tab, GraphTabControls& controls);

} // namespace vel
