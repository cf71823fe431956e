// A swscale of the library set that lacks sws_scale: loading the set from a
// folder holding it must fail as a whole.
extern "C" {
void* sws_getContext() { return nullptr; }
void* sws_getCachedContext() { return nullptr; }
void sws_freeContext() {}
}
