#include "logger/framing.h"

namespace vel {

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";
}

uint8_t SentenceChecksum(QByteArrayView body) {
    uint8_t sum = 0;
    for (char c : body) sum ^= static_cast<uint8_t>(c);
    return sum;
}

QByteArray FrameSentence(QByteArrayView body) {
    const uint8_t sum = SentenceChecksum(body);
    QByteArray out;
    out.reserve(body.size() + 6);
    out += '$';
    out += body;
    out += '*';
    out += HexDigits[sum >> 4];
    out += HexDigits[sum & 15];
    out += "\r\n";
    return out;
}

FrameCheck CheckFrame(QByteArrayView line) {
    const qsizetype n = line.size();
    if (n < 4 || line[n - 3] != '*') return FrameCheck::NoStar;
    const uint8_t sum = SentenceChecksum(line.sliced(1, n - 4));
    if (line[n - 2] != HexDigits[sum >> 4] || line[n - 1] != HexDigits[sum & 15])
        return FrameCheck::BadSum;
    return FrameCheck::Ok;
}

LineRoute RouteLine(QByteArrayView line) {
    if (line.startsWith("$PMTK")) return LineRoute::Pmtk;
    if (line.startsWith("$PTSI")) return LineRoute::Ptsi;
    for (const char* p : {"$GP", "$GN", "$GA", "$GL", "$GM"})
        if (line.startsWith(p)) return LineRoute::Nmea;
    return LineRoute::Drop;
}

LineAssembler::Event LineAssembler::Feed(char c) {
    if (c == '\n') return Event::None;
    if (c == '$') {
        skipping_ = false;
        Event ev = Event::None;
        if (!buf_.isEmpty()) {
            broken_ = buf_;
            ev = Event::Broken;
        }
        buf_.clear();
        buf_ += '$';
        return ev;
    }
    if (c == '\r') {
        const bool hadLine = !buf_.isEmpty();
        skipping_ = false;
        if (!hadLine) return Event::None;
        line_ = buf_;
        buf_.clear();
        return Event::Line;
    }
    if (skipping_) return Event::None;
    if (buf_.size() >= MaxLineLen - 1) {
        // Keep the buffer's bound: the line is given up, not overrun.
        broken_ = buf_.left(64);
        buf_.clear();
        skipping_ = true;
        return Event::Cut;
    }
    buf_ += c;
    return Event::None;
}

void LineAssembler::Reset() {
    buf_.clear();
    skipping_ = false;
}

bool LineAssembler::ReplyInProgress() const {
    return buf_.startsWith("$PMTK") || buf_.startsWith("$PTSI");
}

} // namespace vel
